#pragma once
// The standard reflected CRC-32 (polynomial 0xEDB88320), used for file comparison,
// rule checksums and collection keys.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dl::model {

// Continues a CRC over `size` more bytes. Start with `crc` = 0; feeding the
// result of one call into the next gives the CRC of the concatenated input.
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0) noexcept;

inline std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0) noexcept {
  return Crc32(bytes.data(), bytes.size(), crc);
}

}  // namespace dl::model
