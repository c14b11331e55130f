#pragma once
#include <cstdint>
#include <string>

namespace dl::host {

// CRC-32 of a file's contents, read in blocks of at most 4096 bytes. A file that
// cannot be opened reads as 0; a read error ends the sum with what was read.
std::uint32_t FileCrc32(const std::wstring& path) noexcept;

}  // namespace dl::host
