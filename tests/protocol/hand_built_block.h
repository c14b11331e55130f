#pragma once
// A rule block laid out by hand from the layout tables, with literal offsets, so that
// the writer and the reader cannot agree with each other on a wrong layout.
#include <cstdint>
#include <string>
#include <vector>

namespace dl::testing {

class HandBytes {
 public:
  explicit HandBytes(std::size_t size) : bytes_(size, 0) {}
  HandBytes& U32(std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
    return *this;
  }
  // 32-bit length, the characters, a zero byte.
  HandBytes& Ansi(std::size_t at, const std::string& text) {
    U32(at, static_cast<std::uint32_t>(text.size()));
    for (std::size_t i = 0; i < text.size(); ++i) bytes_.at(at + 4 + i) = static_cast<std::uint8_t>(text[i]);
    bytes_.at(at + 4 + text.size()) = 0;
    return *this;
  }
  HandBytes& Utf16(std::size_t at, const std::u16string& text) {
    U32(at, static_cast<std::uint32_t>(text.size()));
    for (std::size_t i = 0; i < text.size(); ++i) {
      bytes_.at(at + 4 + 2 * i) = static_cast<std::uint8_t>(text[i] & 0xFF);
      bytes_.at(at + 5 + 2 * i) = static_cast<std::uint8_t>(text[i] >> 8);
    }
    return *this;
  }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Block start 0: size. 4: group (2 rules, skin "blue", common "\c=1"). 60: specific
// rule "Spec" (params "\p=1", checksum 0x11223344, special icons "3") with one class
// criterion "Notepad" at 124. 168: default rule "Def" without criteria, params
// "\Enabled=31", checksum 0xAAAA. 224: tabbed-explorer record, enabled, path "C:".
// 264: end of chain. 296 bytes in all.
inline std::vector<std::uint8_t> HandBuiltBlock() {
  HandBytes b(296);
  b.U32(0, 296);
  // group at 4
  b.U32(4, 1).U32(8, 60 - 4).U32(12, 224 - 4).U32(16, 2).U32(20, 36 - 4).U32(24, 48 - 4);
  b.Ansi(36, "blue").Ansi(48, "\\c=1");
  // specific rule at 60
  b.U32(60, 2).U32(64, 124 - 60).U32(68, 168 - 60).U32(72, 92 - 60).U32(76, 1).U32(80, 104 - 60);
  b.U32(84, 0x11223344u).U32(88, 116 - 60);
  b.Ansi(92, "Spec").Ansi(104, "\\p=1").Ansi(116, "3");
  // class criterion at 124
  b.U32(124, 7).U32(132, 0).U32(136, 156 - 124).U32(140, 0);
  b.Ansi(156, "Notepad");
  // default rule at 168
  b.U32(168, 3).U32(172, 0).U32(176, 0).U32(180, 200 - 168).U32(184, 0).U32(188, 208 - 168);
  b.U32(192, 0xAAAAu).U32(196, 0);
  b.Ansi(200, "Def").Ansi(208, "\\Enabled=31");
  // tabbed explorer at 224
  b.U32(224, 8).U32(232, 264 - 224).U32(236, 1).U32(240, 256 - 224);
  b.Utf16(256, u"C:");
  // end of chain at 264: all zero
  return b.Bytes();
}

}  // namespace dl::testing
