#include "library/model/variant.h"

#include <cmath>
#include <cstdlib>

#include "library/model/error.h"
#include "library/model/text_util.h"

namespace dl::model {

bool TryStrToInt(std::wstring_view text, std::int32_t& out) noexcept {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  unsigned base = 10;
  if (i < text.size() && text[i] == L'$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const wchar_t c = text[i];
    unsigned digit;
    if (c >= L'0' && c <= L'9') digit = unsigned(c - L'0');
    else if (base == 16 && c >= L'a' && c <= L'f') digit = unsigned(c - L'a' + 10);
    else if (base == 16 && c >= L'A' && c <= L'F') digit = unsigned(c - L'A' + 10);
    else return false;
    value = value * base + digit;
    // Hexadecimal text may spell the 32-bit pattern of a negative number.
    if (value > (base == 16 ? 0xFFFFFFFFll : 0x80000000ll)) return false;
  }
  if (base == 16 && value > 0x7FFFFFFFll) value -= 0x100000000ll;
  if (negative) value = -value;
  if (value > 0x7FFFFFFFll || value < -0x80000000ll) return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

namespace {
// A decimal number with an optional fraction and exponent, as a whole text.
bool TryStrToNumber(std::wstring_view text, double& out) noexcept {
  std::string narrow;
  for (wchar_t c : TrimBlanks(text)) {
    if (!((c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.' || c == L'e' || c == L'E'))
      return false;
    narrow += static_cast<char>(c);
  }
  if (narrow.empty()) return false;
  char* end = nullptr;
  out = std::strtod(narrow.c_str(), &end);
  return end == narrow.c_str() + narrow.size() && std::isfinite(out);
}
}  // namespace

bool TryStrToBool(std::wstring_view text, bool& out) noexcept {
  if (SameText(text, L"True")) {
    out = true;
    return true;
  }
  if (SameText(text, L"False")) {
    out = false;
    return true;
  }
  double number = 0;
  if (!TryStrToNumber(text, number)) return false;
  out = number != 0;
  return true;
}

std::int32_t StrToInt(std::wstring_view text) {
  std::int32_t v = 0;
  if (!TryStrToInt(text, v)) throw EConvertError(L"'" + std::wstring(text) + L"' is not a valid integer value");
  return v;
}

bool StrToBool(std::wstring_view text) {
  bool v = false;
  if (!TryStrToBool(text, v)) throw EConvertError(L"'" + std::wstring(text) + L"' is not a valid boolean value");
  return v;
}

std::wstring Variant::AsString() const {
  if (auto* s = std::get_if<std::wstring>(&v_)) return *s;
  if (auto* i = std::get_if<std::int64_t>(&v_)) return std::to_wstring(*i);
  if (auto* b = std::get_if<bool>(&v_)) return *b ? L"True" : L"False";
  if (auto* d = std::get_if<double>(&v_)) return std::to_wstring(*d);
  return {};
}

std::int32_t Variant::AsInteger() const {
  if (auto* s = std::get_if<std::wstring>(&v_)) return StrToInt(*s);
  if (auto* i = std::get_if<std::int64_t>(&v_)) {
    if (*i > 0x7FFFFFFFll || *i < -0x80000000ll)
      throw EConvertError(L"'" + std::to_wstring(*i) + L"' is not a valid integer value");
    return static_cast<std::int32_t>(*i);
  }
  if (auto* b = std::get_if<bool>(&v_)) return *b ? -1 : 0;
  if (IsEmpty()) return 0;
  throw EConvertError(L"Could not convert variant of type (Double) into type (Integer)");
}

bool Variant::AsBoolean() const {
  if (auto* s = std::get_if<std::wstring>(&v_)) return StrToBool(*s);
  if (auto* i = std::get_if<std::int64_t>(&v_)) return *i != 0;
  if (auto* b = std::get_if<bool>(&v_)) return *b;
  if (auto* d = std::get_if<double>(&v_)) return *d != 0;
  return false;
}

}  // namespace dl::model
