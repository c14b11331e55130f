// The z-order band step.
#include <gtest/gtest.h>

#include "library/rules/window_band.h"
#include "tests/support/window_class.h"

namespace dl::rules {
namespace {

TEST(WindowBand, BandsThatPassByPlatform) {
  const BandInputs win7{false, false, false};
  const BandInputs win8{true, false, false};
  const BandInputs win10{true, true, false};
  const BandInputs frameHost{true, true, true};
  struct Case {
    int band;
    bool core;
    BandInputs in;
    bool passes;
  };
  const Case cases[] = {
      {3, false, win7, true},  {-1, false, win7, true},   {1, false, win8, true},    {2, false, win8, true},
      {16, false, win8, true}, {4, false, win8, true},    {8, false, win8, false},   {8, false, win10, false},
      {8, false, frameHost, true}, {3, false, win10, false}, {-1, false, win10, false}, {1, true, win8, true},
      {1, true, win10, false}, {16, true, win10, false},  {4, true, win10, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "band " << c.band << " core " << c.core << " win8 " << c.in.win8OrLater
                                    << " win10 " << c.in.win10OrLater << " framehost " << c.in.frameHostProcess);
    EXPECT_EQ(BandPasses(c.band, c.core, c.in), c.passes);
  }
}

TEST(WindowBand, WithoutGetWindowBandEveryWindowPasses) {
  // Wine's user32 has no GetWindowBand; a platform that has it is not this one.
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (::GetProcAddress(user32, "GetWindowBand")) GTEST_SKIP() << "this user32 has GetWindowBand";
  HWND wnd = ::CreateWindowExW(0, L"Static", L"band", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                               dl::test::Instance(), nullptr);
  ASSERT_TRUE(wnd);
  EXPECT_TRUE(WindowPassesBandStep(wnd));
  ::DestroyWindow(wnd);
}

}  // namespace
}  // namespace dl::rules
