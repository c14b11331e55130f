#include "protocol/registration_notice.h"

#include <gtest/gtest.h>

#include <string>

namespace dl::protocol {
namespace {

// Little-endian 32-bit count, written out by hand so that the encoder cannot agree with
// itself on a wrong layout.
std::string Le32(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
          static_cast<char>((v >> 24) & 0xFF)};
}

TEST(RegistrationNotice, HandleExecutableClassCaptionRuleAndTypeInThatOrder) {
  const std::string expected = Le32(4) + Le32(0x1234) + Le32(7) + "a\\b.exe" + Le32(7) + "Notepad" + Le32(0) +
                               Le32(5) + "Rule1" + Le32(4) + Le32(2);
  RegistrationNotice notice{0x1234, "a\\b.exe", "Notepad", "", "Rule1", 2};
  EXPECT_EQ(EncodeRegistrationNotice(notice), expected);

  auto read = DecodeRegistrationNotice(expected);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Wnd, 0x1234u);
  EXPECT_EQ(read->FileName, "a\\b.exe");
  EXPECT_EQ(read->WindowClass, "Notepad");
  EXPECT_EQ(read->WindowCaption, "");
  EXPECT_EQ(read->RuleName, "Rule1");
  EXPECT_EQ(read->RuleType, 2);
}

TEST(RegistrationNotice, EveryTruncationAndALyingCountIsNoNotice) {
  const std::string data = EncodeRegistrationNotice({1, "x.exe", "C", "T", "R", 3});
  for (std::size_t cut = 0; cut < data.size(); ++cut)
    EXPECT_FALSE(DecodeRegistrationNotice(std::string_view(data).substr(0, cut))) << cut;
  std::string lying = data;
  lying.replace(8, 4, Le32(0xFFFFFFF0u));  // the executable's count runs far past the end
  EXPECT_FALSE(DecodeRegistrationNotice(lying));
}

}  // namespace
}  // namespace dl::protocol
