// The size/move tooltip as a real "tooltips_class32" window: its text, its life, its place near
// the work area's edges, and what 1000 shows leave behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>

#include "library/extender/size_move_tooltip.h"
#include "platform/handles.h"
#include "tests/extender/services_test_support.h"
#include "tests/support/pump.h"
#include "tests/support/window_class.h"

namespace {
using namespace dl::extender;
using dl::platform::UniqueWindow;
using dl::test::PumpUntil;
using dl::test::TooltipText;


// Wine's tooltip puts its one-pixel border around the tracked rectangle.
constexpr int kBorder = 1;

// 20 pixels at 96 DPI below an arrow cursor, scaled to the screen's DPI.
int ArrowOffset() { return static_cast<int>(20 * dl::test::ExpectedDpi() / 96); }

int TooltipWindowsOfThisThread() {
  int count = 0;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM counter) -> BOOL {
        wchar_t name[64];
        if (::GetClassNameW(window, name, 64) && ::lstrcmpiW(name, TOOLTIPS_CLASSW) == 0) ++*reinterpret_cast<int*>(counter);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

class SizeMoveTooltipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_.reset(::CreateWindowExW(0, class_.name(), L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, 200, 300, 200,
                                   nullptr, nullptr, dl::test::Instance(), nullptr));
    ASSERT_TRUE(owner_);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  }
  // The tooltip's rectangle once it shows.
  RECT ShownRect(HWND tooltip) {
    RECT rc{};
    EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(tooltip) && ::GetWindowRect(tooltip, &rc) && rc.left > -30000; }));
    return rc;
  }
  dl::test::ScopedClass class_{L"DlTooltipOwner"};
  UniqueWindow owner_;
};

TEST_F(SizeMoveTooltipTest, LinesMakeTheTextAndClearingBothDestroysTheWindow) {
  SizeMoveTooltip tooltip(owner_.get());
  tooltip.Show(1, L"300 x 200");
  const HWND window = tooltip.Window();
  ASSERT_TRUE(::IsWindow(window));
  EXPECT_EQ(TooltipText(window, owner_.get()), L"300 x 200");  // no leading line break

  tooltip.Show(0, L"10, 20");
  EXPECT_EQ(tooltip.Window(), window);  // created once
  EXPECT_EQ(TooltipText(window, owner_.get()), L"10, 20\r\n300 x 200");
  tooltip.Hide(1);
  EXPECT_EQ(TooltipText(window, owner_.get()), L"10, 20");
  EXPECT_TRUE(tooltip.HasOwnFont());
  EXPECT_NE(tooltip.FontHeight(), 0);

  tooltip.Hide(0);
  EXPECT_EQ(tooltip.Window(), nullptr);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_FALSE(tooltip.HasOwnFont());
}

TEST_F(SizeMoveTooltipTest, BelowTheCursorInTheMiddleAboveItNearTheBottomOfTheWorkArea) {
  RECT work{};
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  const int offset = ArrowOffset();
  struct Case {
    const char* what;
    POINT cursor;
    bool above;
  };
  const Case cases[] = {
      {"middle", {(work.left + work.right) / 2, (work.top + work.bottom) / 2}, false},
      {"near the bottom", {(work.left + work.right) / 2, work.bottom - 5}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(::SetCursorPos(c.cursor.x, c.cursor.y));
    POINT at{};
    ASSERT_TRUE(PumpUntil([&] { return ::GetCursorPos(&at) && at.x == c.cursor.x && at.y == c.cursor.y; }));
    SizeMoveTooltip tooltip(owner_.get());
    tooltip.Show(0, L"10, 20");
    tooltip.Show(1, L"300 x 200");
    const RECT rc = ShownRect(tooltip.Window());
    EXPECT_NEAR(rc.left, c.cursor.x, kBorder);
    if (c.above) {
      EXPECT_NEAR(rc.bottom, c.cursor.y - offset, kBorder) << rc.top << ".." << rc.bottom;
    } else {
      EXPECT_NEAR(rc.top, c.cursor.y + offset, kBorder);
    }
    EXPECT_LE(rc.bottom, work.bottom);
  }
}

TEST_F(SizeMoveTooltipTest, RightEdgeOfTheWorkAreaPullsTheTooltipBack) {
  RECT work{};
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  ASSERT_TRUE(::SetCursorPos(work.right - 3, (work.top + work.bottom) / 2));
  SizeMoveTooltip tooltip(owner_.get());
  tooltip.Show(0, L"-12345, -12345");
  const RECT rc = ShownRect(tooltip.Window());
  EXPECT_LE(rc.right, work.right);
  EXPECT_GE(rc.right, work.right - 2 * kBorder);
}

TEST_F(SizeMoveTooltipTest, AWorkAreaFromTheMonitorCenterWinsOverTheSystemsOne) {
  ASSERT_TRUE(::SetCursorPos(300, 300));
  SizeMoveTooltip tooltip(owner_.get());
  int asked = 0;
  tooltip.SetWorkAreaSource([&](POINT, RECT& area) {
    ++asked;
    area = RECT{0, 0, 1000, 330};  // the tooltip below the cursor would cross 330
    return true;
  });
  tooltip.Show(0, L"10, 20");
  const RECT rc = ShownRect(tooltip.Window());
  EXPECT_GT(asked, 0);
  EXPECT_NEAR(rc.bottom, 300 - ArrowOffset(), kBorder);
}

TEST_F(SizeMoveTooltipTest, DestroyFromAnotherThreadClosesTheTooltipThroughItsOwnThread) {
  auto tooltip = std::make_unique<SizeMoveTooltip>(owner_.get());
  tooltip->Show(0, L"10, 20");
  const HWND window = tooltip->Window();
  ASSERT_TRUE(::IsWindow(window));
  std::thread([&] { tooltip->Destroy(); }).join();  // DestroyWindow fails there: WM_CLOSE is posted
  EXPECT_EQ(tooltip->Window(), nullptr);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(window); }));
}

TEST_F(SizeMoveTooltipTest, AnOwnerThatVanishesLeavesATooltipThatStillUpdatesAndGoes) {
  SizeMoveTooltip tooltip(owner_.get());
  tooltip.Show(0, L"10, 20");
  const HWND window = tooltip.Window();
  owner_.reset();
  tooltip.Show(1, L"300 x 200");
  EXPECT_EQ(tooltip.Window(), window);
  tooltip.Hide(0);
  tooltip.Hide(1);
  EXPECT_FALSE(::IsWindow(window));
}

TEST_F(SizeMoveTooltipTest, AThousandShowsLeaveNoWindowAndNoFontBehind) {
  // The system's GDI object count reads 0 under Wine; each font is checked gone instead (a
  // deleted object's handle stays invalid: handles carry a generation).
  SizeMoveTooltip tooltip(owner_.get());
  int fontsStillAlive = 0, fontsSeen = 0;
  for (int i = 0; i < 1000; ++i) {
    tooltip.Show(0, std::to_wstring(i) + L", 20");
    tooltip.Show(1, L"300 x 200");
    const HGDIOBJ font = tooltip.OwnFont();
    if (font) ++fontsSeen;
    tooltip.Hide(0);
    tooltip.Hide(1);
    if (font && ::GetObjectType(font) != 0) ++fontsStillAlive;
  }
  PumpUntil([] { return false; }, std::chrono::milliseconds(0));
  EXPECT_EQ(fontsSeen, 1000);
  EXPECT_EQ(fontsStillAlive, 0);
  EXPECT_EQ(TooltipWindowsOfThisThread(), 0);
}

}  // namespace
