#pragma once
// The few things the core needs from the operating system: the ANSI code page
// and the ids of the calling process and thread. system_seam_win.cpp uses the
// process's ANSI code page (CP_ACP); system_seam_portable.cpp, for the native
// tree, uses Latin-1 (code points 0-255 map to the byte of the same value,
// anything else becomes '?', as the Windows conversion does for unmappable text).
#include <cstdint>
#include <string>
#include <string_view>

namespace dl::model {

std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

std::uint32_t CurrentProcessId() noexcept;
std::uint32_t CurrentThreadId() noexcept;

}  // namespace dl::model
