// The registration notice's fields, and reading them back from untrusted bytes.
#include <gtest/gtest.h>

#include "library/rules/registration_notice.h"

namespace dl::rules {
namespace {

TEST(RegistrationNotice, FieldsInOrderWithLengthPrefixes) {
  WindowDescription w{reinterpret_cast<HWND>(std::uintptr_t{0x12345678}), L"C:\\windows\\notepad.exe", L"Notepad",
                      "Untitled - Notepad"};
  RuleInfo rule{"Editors", RuleType::rtSpecific, 7, true, {}};
  const std::string data = BuildRegistrationNotice(w, rule);
  const std::string expectedStart("\x04\0\0\0\x78\x56\x34\x12\x16\0\0\0C:\\windows\\notepad.exe", 34);
  EXPECT_EQ(data.substr(0, expectedStart.size()), expectedStart);
  EXPECT_EQ(data.substr(data.size() - 8), std::string("\x04\0\0\0\x02\0\0\0", 8));
  auto read = ReadRegistrationNotice(data);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Wnd, 0x12345678u);
  EXPECT_EQ(read->FileName, "C:\\windows\\notepad.exe");
  EXPECT_EQ(read->WindowClass, "Notepad");
  EXPECT_EQ(read->WindowCaption, "Untitled - Notepad");
  EXPECT_EQ(read->RuleName, "Editors");
  EXPECT_EQ(read->RuleType, 2);
}

TEST(RegistrationNotice, TruncatedOrLyingDataIsNoNotice) {
  WindowDescription w{reinterpret_cast<HWND>(std::uintptr_t{1}), L"a", L"b", "c"};
  const std::string data = BuildRegistrationNotice(w, RuleInfo{"r", RuleType::rtDefault, 0, true, {}});
  for (std::size_t cut = 0; cut < data.size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(ReadRegistrationNotice(std::string_view(data).substr(0, cut)));
  }
  std::string lying = data;
  lying[8] = '\x7F';  // the file name's count points far past the end
  EXPECT_FALSE(ReadRegistrationNotice(lying));
  std::string wideInteger = data;
  wideInteger[0] = '\x05';  // a handle field that is not 4 bytes
  EXPECT_FALSE(ReadRegistrationNotice(wideInteger));
}

}  // namespace
}  // namespace dl::rules
