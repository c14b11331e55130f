#include "library/model/text_util.h"

namespace dl::model {

int CompareText(std::wstring_view a, std::wstring_view b) noexcept {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<std::uint32_t>(UpperAscii(a[i]));
    const auto cb = static_cast<std::uint32_t>(UpperAscii(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

namespace {
void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}
}  // namespace

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  char16_t high = 0;
  ForEachUtf16Unit(text, [&](char16_t u) {
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (high) AppendUtf8(out, 0xFFFD);
      high = u;
      return;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) {
      if (high) {
        AppendUtf8(out, 0x10000u + ((std::uint32_t(high) - 0xD800u) << 10) + (std::uint32_t(u) - 0xDC00u));
        high = 0;
      } else {
        AppendUtf8(out, 0xFFFD);
      }
      return;
    }
    if (high) {
      AppendUtf8(out, 0xFFFD);
      high = 0;
    }
    AppendUtf8(out, u);
  });
  if (high) AppendUtf8(out, 0xFFFD);
  return out;
}

}  // namespace dl::model
