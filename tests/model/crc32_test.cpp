#include "library/model/crc32.h"

#include <gtest/gtest.h>

#include <string>

namespace {
using dl::model::Crc32;

TEST(Crc32, KnownVectors) {
  struct Case {
    std::string input;
    std::uint32_t crc;
  };
  const Case cases[] = {
      {"", 0x00000000u},
      {"a", 0xE8B7BE43u},
      {"123456789", 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
  };
  for (const auto& c : cases) EXPECT_EQ(Crc32(c.input), c.crc) << '"' << c.input << '"';
}

TEST(Crc32, ContinuedOverPiecesEqualsWhole) {
  const std::string whole = "window rule checksum over several pieces";
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    std::uint32_t part = Crc32(std::string_view(whole).substr(0, cut));
    EXPECT_EQ(Crc32(std::string_view(whole).substr(cut), part), Crc32(whole)) << cut;
  }
}

TEST(Crc32, ReadsExactlyTheGivenBytes) {
  // Bytes past `size` must not influence the result (a sanitizer also sees over-reads).
  const char buffer[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', 'X'};
  EXPECT_EQ(Crc32(buffer, 9), 0xCBF43926u);
}
}  // namespace
