#pragma once
// Explicit conversions between UTF-16 and the system's ANSI code page; lines of 8-bit text.
#include <string>
#include <string_view>
#include <vector>

namespace dl::platform {
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The lines of `text`, split at "\n", each without a "\r" before it. Empty lines are kept; a
// final line break starts no further line.
std::vector<std::string> SplitLines(std::string_view text);
}  // namespace dl::platform
