// The hex decoder on arbitrary text, and the encoder/decoder round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "library/model/hex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dl::model;
  std::wstring text;
  for (std::size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(data[i]);

  const std::string decoded = HexToAnsi(text);
  if (decoded.size() != text.size() / 2) std::abort();
  // Whatever decoded is exactly the valid prefix; the rest is zero.
  std::uint8_t buffer[64];
  const std::size_t stored = HexToBytes(text, buffer, sizeof buffer);
  for (std::size_t i = 0; i < stored; ++i)
    if (static_cast<std::uint8_t>(decoded[i]) != buffer[i]) std::abort();
  if (stored < sizeof buffer) {
    for (std::size_t i = stored; i < decoded.size(); ++i)
      if (decoded[i] != 0) std::abort();
  }
  (void)HexToString(text);

  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (HexToAnsi(AnsiToHex(bytes)) != bytes) std::abort();
  if (WideToHex(text).size() != text.size() * 4) std::abort();
  return 0;
}
