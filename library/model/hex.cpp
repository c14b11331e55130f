#include "library/model/hex.h"

#include "library/model/system_seam.h"
#include "library/model/text_util.h"

namespace dl::model {
namespace {
constexpr wchar_t kDigits[] = L"0123456789ABCDEF";

int DigitValue(wchar_t c) noexcept {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

void AppendByte(std::wstring& out, std::uint8_t b) {
  out += kDigits[b >> 4];
  out += kDigits[b & 0x0F];
}
}  // namespace

std::wstring BytesToHex(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::wstring out;
  out.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) AppendByte(out, p[i]);
  return out;
}

std::size_t HexToBytes(std::wstring_view text, std::uint8_t* out, std::size_t count) noexcept {
  std::size_t stored = 0;
  while (stored < count && 2 * stored + 1 < text.size()) {
    const int hi = DigitValue(text[2 * stored]);
    const int lo = DigitValue(text[2 * stored + 1]);
    if (hi < 0 || lo < 0) break;
    out[stored++] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return stored;
}

std::wstring AnsiToHex(std::string_view text) { return BytesToHex(text.data(), text.size()); }

std::string HexToAnsi(std::wstring_view text) noexcept {
  try {
    std::string out(text.size() / 2, '\0');
    HexToBytes(text, reinterpret_cast<std::uint8_t*>(out.data()), out.size());
    return out;
  } catch (...) {
    return {};
  }
}

std::wstring StringToHex(std::wstring_view text) { return AnsiToHex(WideToAnsi(text)); }

std::wstring HexToString(std::wstring_view text) { return AnsiToWide(HexToAnsi(text)); }

std::wstring WideToHex(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() * 4);
  ForEachUtf16Unit(text, [&](char16_t u) {
    AppendByte(out, static_cast<std::uint8_t>(u & 0xFF));
    AppendByte(out, static_cast<std::uint8_t>(u >> 8));
  });
  return out;
}

}  // namespace dl::model
