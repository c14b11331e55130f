// Matching one window against rule blocks of 10, 100 and 1000 rules with three
// non-regex criteria each (class, file name, caption), in the worst case: every rule's
// first two criteria match, its caption criterion fails, and only the last rule
// matches. Then the cost of one regular-expression caption criterion (compiled for
// every test, through the system's PCRE) against a substring criterion in the same run.
#include <benchmark/benchmark.h>

#include <string>

#include "library/model/error.h"
#include "library/model/pcre_match.h"
#include "library/model/rule_criteria.h"
#include "library/model/rule_matching.h"
#include "protocol/rule_block_reader.h"
#include "protocol/rule_block_writer.h"
#include "tests/model/system_pcre.h"

namespace {
namespace rb = dl::protocol::rule_block;
using dl::model::RuleSubject;

class NativeSystem : public dl::model::IRuleMatchingSystem {
 public:
  bool RegexMatches(std::string_view pattern, std::string_view caption) noexcept override {
    try {
      return dl::model::pcre::MatchPattern(pcre_, pattern, caption);
    } catch (...) {
      return false;
    }
  }
  bool WildcardMatches(std::string_view pattern, std::string_view name) noexcept override {
    return dl::model::WildcardSpecMatches(pattern, name);
  }

 private:
  dl::model::pcre::EntryPoints pcre_ = dl::testing::SystemPcre();
};

const RuleSubject kWindow{"C:\\PROGRAM FILES\\EDITOR\\EDITOR.EXE", "EditorMainWindow", "Document 1 - Editor", false};

// allMatchFirst: every rule's class and file criteria match (worst case); otherwise
// each rule names its own class, so the first criterion already fails (the usual case).
std::vector<std::uint8_t> BlockOfRules(int rules, bool allMatchFirst) {
  rb::GroupSpec group;
  group.commonParams = "\\common=1";
  for (int i = 0; i < rules; ++i) {
    rb::RuleSpec r;
    r.name = "Rule " + std::to_string(i);
    r.params = "\\window_rule_name=" + std::to_string(i);
    r.checksum = static_cast<std::uint32_t>(i);
    const bool last = i == rules - 1;
    r.criteria = {{rb::kClassCriterion, allMatchFirst || last ? "EditorMain" : "Window" + std::to_string(i), 0},
                  {rb::kFileNameCriterion, "\\EDITOR.EXE", 0},
                  {rb::kCaptionCriterion, last ? "- Editor" : "Caption " + std::to_string(i), rb::kSubstring}};
    group.rules.push_back(r);
  }
  return rb::WriteRuleBlock({group});
}

void BM_FindRule(benchmark::State& state) {
  const auto bytes = BlockOfRules(static_cast<int>(state.range(0)), state.range(1) != 0);
  const rb::RuleBlockReader block(bytes.data(), bytes.size());
  NativeSystem system;
  if (dl::model::FindRule(block, kWindow, system).params.empty()) state.SkipWithError("last rule did not match");
  for (auto _ : state) benchmark::DoNotOptimize(dl::model::FindRule(block, kWindow, system));
  state.SetItemsProcessed(state.iterations());  // windows
}
// Second argument: 0 = each rule fails at its first criterion, 1 = at its third.
BENCHMARK(BM_FindRule)->ArgNames({"rules", "worst"})->ArgsProduct({{10, 100, 1000}, {0, 1}});

std::vector<std::uint8_t> OneCaptionRule(const std::string& pattern, std::int32_t mode) {
  rb::GroupSpec group;
  rb::RuleSpec r;
  r.name = "Caption";
  r.params = "\\x=1";
  r.criteria = {{rb::kCaptionCriterion, pattern, mode}};
  group.rules.push_back(r);
  return rb::WriteRuleBlock({group});
}

void RunCaption(benchmark::State& state, const std::vector<std::uint8_t>& bytes) {
  const rb::RuleBlockReader block(bytes.data(), bytes.size());
  NativeSystem system;
  if (dl::model::FindRule(block, kWindow, system).params.empty()) state.SkipWithError("no match");
  for (auto _ : state) benchmark::DoNotOptimize(dl::model::FindRule(block, kWindow, system));
  state.SetItemsProcessed(state.iterations());
}

void BM_CaptionSubstring(benchmark::State& state) { RunCaption(state, OneCaptionRule("- Editor", rb::kSubstring)); }
void BM_CaptionRegexSimple(benchmark::State& state) {
  RunCaption(state, OneCaptionRule("- Editor$", rb::kRegularExpression));
}
void BM_CaptionRegexStudied(benchmark::State& state) {
  // No literal first character: this one is studied as well.
  RunCaption(state, OneCaptionRule("(Document|Sheet) \\d+ - (Editor|Viewer)", rb::kRegularExpression));
}
BENCHMARK(BM_CaptionSubstring);
BENCHMARK(BM_CaptionRegexSimple);
BENCHMARK(BM_CaptionRegexStudied);

}  // namespace
