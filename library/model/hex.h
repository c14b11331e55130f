#pragma once
// Hexadecimal text for free text inside parameter strings: two upper-case
// digits per byte, high nibble first.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dl::model {

std::wstring BytesToHex(const void* data, std::size_t size);

// Decodes up to `count` bytes into `out`, stopping at the first pair that is not
// two hexadecimal digits (either case) or at an odd last digit; answers the
// number of bytes stored.
std::size_t HexToBytes(std::wstring_view text, std::uint8_t* out, std::size_t count) noexcept;

std::wstring AnsiToHex(std::string_view text);
// length/2 bytes, decoded up to the first invalid pair, the rest zero.
std::string HexToAnsi(std::wstring_view text) noexcept;

// Through the ANSI code page (system_seam.h).
std::wstring StringToHex(std::wstring_view text);
std::wstring HexToString(std::wstring_view text);

// The UTF-16LE bytes of the text: four digits per code unit, low byte first.
std::wstring WideToHex(std::wstring_view text);

}  // namespace dl::model
