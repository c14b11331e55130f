#pragma once
// Small text helpers of the core that need no code page: ASCII case mapping,
// blank trimming, and UTF-16 / UTF-8 views of std::wstring (which is UTF-16 on
// Windows and UTF-32 in the native tree).
#include <cstdint>
#include <string>
#include <string_view>

namespace dl::model {

// Characters up to and including the space (code points 0-32) are blanks.
template <typename Char>
constexpr bool IsBlank(Char c) noexcept {
  return static_cast<std::uint32_t>(c) <= 32u;
}

template <typename Char>
constexpr Char UpperAscii(Char c) noexcept {
  return (c >= Char('a') && c <= Char('z')) ? Char(c - Char('a') + Char('A')) : c;
}

template <typename Char>
std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> s) noexcept {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

template <typename Char>
std::basic_string_view<Char> TrimRightBlanks(std::basic_string_view<Char> s) noexcept {
  std::size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

template <typename Char>
std::basic_string_view<Char> TrimLeftBlanks(std::basic_string_view<Char> s) noexcept {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

// Ordinal comparison after mapping a-z to A-Z: <0, 0, >0.
int CompareText(std::wstring_view a, std::wstring_view b) noexcept;
inline bool SameText(std::wstring_view a, std::wstring_view b) noexcept {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

// Calls f(char16_t) for each UTF-16 code unit of the text.
template <typename F>
void ForEachUtf16Unit(std::wstring_view text, F&& f) {
  for (wchar_t wc : text) {
    auto c = static_cast<std::uint32_t>(wc);
    if constexpr (sizeof(wchar_t) > 2) {
      if (c > 0xFFFFu && c <= 0x10FFFFu) {
        c -= 0x10000u;
        f(static_cast<char16_t>(0xD800u + (c >> 10)));
        f(static_cast<char16_t>(0xDC00u + (c & 0x3FFu)));
        continue;
      }
      if (c > 0x10FFFFu) c = 0xFFFDu;
    }
    f(static_cast<char16_t>(c));
  }
}

// UTF-8 form of a wide text (unpaired surrogates become U+FFFD); used for
// exception texts and diagnostics.
std::string WideToUtf8(std::wstring_view text);

}  // namespace dl::model
