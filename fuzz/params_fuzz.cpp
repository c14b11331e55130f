// Splits arbitrary text as parameter strings and parses it into an object;
// checks the properties every caller relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "library/model/items.h"
#include "library/model/params.h"

namespace {
std::wstring ToWide(const std::uint8_t* data, std::size_t size) {
  // Two bytes per character so that braces, delimiters and wide text all occur.
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  if (size % 2) text += static_cast<wchar_t>(data[size - 1]);
  return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dl::model;
  const std::wstring text = ToWide(data, size);

  const auto items = SplitText(text, L'\\', true);
  std::size_t total = 0;
  for (const auto& item : items) total += item.size();
  // Items plus the delimiters between them rebuild the trimmed text.
  if (!items.empty() && total + items.size() - 1 > text.size()) std::abort();

  TTwoArrayOfString pairs;
  const std::size_t n = SplitParams(text, L'\\', L'=', pairs);
  if (n != SplitText(text, L'\\', false).size()) std::abort();
  if (n > 0 && pairs.size() != n) std::abort();

  std::wstring value;
  if (!pairs.empty()) {
    if (!FindParam(pairs, pairs[0].name, value) || value != pairs[0].value) std::abort();
  }
  ExtractParam(text, L"name", value);

  auto item = TAbstractObject::Create<TAbstractItem>(text);
  std::wstring expected;
  for (const auto& pair : pairs)
    if (pair.name == L"name") expected = pair.value;
  if (item->GetName() != expected) std::abort();
  return 0;
}
