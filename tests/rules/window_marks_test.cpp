// The rule-checksum marks on real windows.
#include <gtest/gtest.h>

#include "library/rules/window_marks.h"
#include "tests/support/window_class.h"

namespace dl::rules {
namespace {

TEST(WindowMarks, SetReadAndRemoveBothProperties) {
  HWND wnd = ::CreateWindowExW(0, L"Static", L"marks", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                               dl::test::Instance(), nullptr);
  ASSERT_TRUE(wnd);
  EXPECT_FALSE(ReadWindowMarks(wnd));
  SetWindowMarks(wnd, 0xFEDCBA98u);
  EXPECT_EQ(ReadWindowMarks(wnd), std::optional<std::uint32_t>(0xFEDCBA98u));
  // Another process sees the same properties under the same names.
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(::GetPropW(wnd, kRuleCrcMarkName)), 0xFEDCBA98u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(::GetPropW(wnd, kRuleCrcValidMarkName)), 1u);
  SetWindowMarks(wnd, 0);
  EXPECT_EQ(ReadWindowMarks(wnd), std::optional<std::uint32_t>(0u)) << "a zero checksum is still a mark";
  RemoveWindowMarks(wnd);
  EXPECT_FALSE(ReadWindowMarks(wnd));
  EXPECT_FALSE(::GetPropW(wnd, kRuleCrcMarkName));
  EXPECT_FALSE(::GetPropW(wnd, kRuleCrcValidMarkName));
  ::DestroyWindow(wnd);
}

}  // namespace
}  // namespace dl::rules
