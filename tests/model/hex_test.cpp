#include "library/model/hex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "library/model/system_seam.h"

namespace {
using namespace dl::model;

TEST(Hex, EncodesUpperCaseHighNibbleFirst) {
  const std::uint8_t bytes[] = {0x00, 0x0F, 0xA5, 0xFF, 0x5C};
  EXPECT_EQ(BytesToHex(bytes, sizeof bytes), L"000FA5FF5C");
  EXPECT_EQ(BytesToHex(nullptr, 0), L"");
  EXPECT_EQ(AnsiToHex(""), L"");
  EXPECT_EQ(AnsiToHex(std::string("a\\{=}\0", 6)), L"615C7B3D7D00");
  EXPECT_EQ(StringToHex(L"abc"), L"616263");
}

TEST(Hex, DecodesUpToTheFirstInvalidPairAndZeroFillsTheRest) {
  struct Case {
    const wchar_t* hex;
    std::string bytes;
  };
  const Case cases[] = {
      {L"616263", "abc"},
      {L"6a6B", "jk"},                          // either case
      {L"", ""},
      {L"6", ""},                               // odd last digit ignored
      {L"61626", "ab"},
      {L"61!2", std::string("a\0", 2)},         // stop, the rest stays zero
      {L"G1616263", std::string(4, '\0')},
      {L"61 62", std::string("a\0", 2)},
      {L"0x61", std::string("\0\0", 2)},
      {L"\u0661\u0662", std::string(1, '\0')},  // digits of other scripts are not hex
  };
  for (const auto& c : cases) EXPECT_EQ(HexToAnsi(c.hex), c.bytes) << c.hex;
}

TEST(Hex, HexToBytesStopsAtCountAndAtInvalidInput) {
  std::uint8_t out[4] = {9, 9, 9, 9};
  EXPECT_EQ(HexToBytes(L"01020304", out, 2), 2u);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(out[2], 9);  // nothing written past count
  EXPECT_EQ(HexToBytes(L"01zz03", out, 4), 1u);
  EXPECT_EQ(HexToBytes(L"010", out, 4), 1u);
  EXPECT_EQ(HexToBytes(L"01", nullptr, 0), 0u);
}

TEST(Hex, RoundTripsEveryByteAndAnsiText) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(HexToAnsi(AnsiToHex(all)), all);
  EXPECT_EQ(HexToString(L"616263"), L"abc");
  const std::wstring caption = L"Move to {desk}\\2 = \u00e9";
  EXPECT_EQ(HexToString(StringToHex(caption)), caption);
  EXPECT_EQ(AnsiToWide(WideToAnsi(caption)), caption);
}

TEST(Hex, WideToHexWritesUtf16LittleEndian) {
  EXPECT_EQ(WideToHex(L"A"), L"4100");
  EXPECT_EQ(WideToHex(L"\u20AC"), L"AC20");
  EXPECT_EQ(WideToHex(L"\U0001F600"), L"3DD800DE");  // one surrogate pair
  EXPECT_EQ(WideToHex(L""), L"");
}

}  // namespace
