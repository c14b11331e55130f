// Parsing rule strings: a realistic rule of a few KB (nested agents, hex
// captions), and the same item pattern at 10 KB and 1 MB to show that the cost
// per byte does not grow with the size of the text.
#include <benchmark/benchmark.h>

#include <string>

#include "library/model/hex.h"
#include "library/model/items.h"
#include "library/model/params.h"

namespace {
using namespace dl::model;

std::wstring Agent(int i) {
  return L"\\agent={\\type=CAPTIONBUTTONAGENT\\name=Button" + std::to_wstring(i) +
         L"\\action_name=Move\\hex_caption=" + StringToHex(L"Move to {desktop " + std::to_wstring(i) + L"}\\") +
         L"\\menu={\\kind=options\\items={\\a=1\\b={\\c=2}}}\\Enabled=-1}";
}

std::wstring RealisticRule() {
  std::wstring rule = L"\\window_rule_name=Editors\\hex_caption=" + StringToHex(L"Notepad = {text}") +
                      L"\\trigger={\\type=CAPTIONBUTTONTRIGGER\\name=Buttons}";
  for (int i = 0; rule.size() < 4096; ++i) rule += Agent(i);
  return rule;
}

std::wstring ItemsOfSize(std::size_t bytes) {
  std::wstring text;
  for (int i = 0; text.size() * sizeof(wchar_t) < bytes; ++i)
    text += L"\\key" + std::to_wstring(i) + L"={\\inner=" + std::to_wstring(i) + L"\\x=y}";
  return text;
}

void BM_SplitParamsRealisticRule(benchmark::State& state) {
  const std::wstring rule = RealisticRule();
  TTwoArrayOfString pairs;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SplitParams(rule, L'\\', L'=', pairs));
    // Each agent's own parameters are split too, as the extender does.
    for (const auto& pair : pairs) {
      TTwoArrayOfString inner;
      benchmark::DoNotOptimize(SplitParams(pair.value, L'\\', L'=', inner));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rule.size() * sizeof(wchar_t)));
}
BENCHMARK(BM_SplitParamsRealisticRule);

void BM_ParseParamsIntoItem(benchmark::State& state) {
  const std::wstring rule = RealisticRule();
  for (auto _ : state) benchmark::DoNotOptimize(TAbstractObject::Create<TAbstractItem>(rule));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rule.size() * sizeof(wchar_t)));
}
BENCHMARK(BM_ParseParamsIntoItem);

void BM_SplitParamsBySize(benchmark::State& state) {
  const std::wstring text = ItemsOfSize(static_cast<std::size_t>(state.range(0)));
  TTwoArrayOfString pairs;
  for (auto _ : state) benchmark::DoNotOptimize(SplitParams(text, L'\\', L'=', pairs));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * sizeof(wchar_t)));
  state.counters["items"] = static_cast<double>(pairs.size());
}
BENCHMARK(BM_SplitParamsBySize)->Arg(10 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

void BM_HexToStringCaption(benchmark::State& state) {
  const std::wstring hex = StringToHex(std::wstring(200, L'x') + L"{\\=}");
  for (auto _ : state) benchmark::DoNotOptimize(HexToString(hex));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * hex.size() * sizeof(wchar_t)));
}
BENCHMARK(BM_HexToStringCaption);

}  // namespace
