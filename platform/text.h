#pragma once
// Explicit conversions between UTF-16 and the system's ANSI code page.
#include <string>
#include <string_view>

namespace dl::platform {
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
}  // namespace dl::platform
