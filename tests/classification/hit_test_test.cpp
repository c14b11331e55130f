// Frame and caption hit tests on real windows: their own rectangles, styles and metrics.
#include <gtest/gtest.h>

#include "library/extender/hit_test.h"
#include "tests/classification/test_windows.h"

namespace {
using namespace dl::extender;
using dl::platform::UniqueWindow;
using dl::test::MakeWindow;

RECT WindowRectOf(HWND wnd) {
  RECT r{};
  ::GetWindowRect(wnd, &r);
  return r;
}

TEST(FrameHitTestOnWindows, EdgesOfLeftToRightAndMirroredWindows) {
  UniqueWindow ltr = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  UniqueWindow rtl = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW | WS_VISIBLE, WS_EX_LAYOUTRTL);
  ASSERT_TRUE(ltr && rtl);
  ASSERT_GT(FrameGeometryOf(ltr.get()).frameX, 0);
  for (HWND wnd : {ltr.get(), rtl.get()}) {
    const bool mirrored = wnd == rtl.get();
    SCOPED_TRACE(mirrored ? "right to left" : "left to right");
    const RECT r = WindowRectOf(wnd);
    const int midY = (r.top + r.bottom) / 2;
    EXPECT_EQ(FrameHitTest(wnd, POINT{r.right - 1, midY}), mirrored ? hit::kLeft : hit::kRight);
    EXPECT_EQ(FrameHitTest(wnd, POINT{r.left, midY}), mirrored ? hit::kRight : hit::kLeft);
    EXPECT_EQ(FrameHitTest(wnd, POINT{r.left, r.top}), mirrored ? hit::kTopRight : hit::kTopLeft);
    EXPECT_EQ(FrameHitTest(wnd, POINT{(r.left + r.right) / 2, r.bottom - 1}), hit::kBottom);
    EXPECT_EQ(FrameHitTest(wnd, POINT{(r.left + r.right) / 2, midY}), hit::kClient);
    EXPECT_EQ(FrameHitTest(wnd, POINT{r.right + 5, midY}), hit::kNowhere);
  }
}

TEST(FrameHitTestOnWindows, SizingBordersAgreeWithTheSystem) {
  // The system's own answer for a plain sizable window marks its sizing border; the
  // frame test must call the outermost pixels of each edge the same.
  // Not "STATIC": static controls answer every hit test with "transparent".
  dl::test::ScopedClass cls(L"ClassificationPlainFrame");
  UniqueWindow wnd = MakeWindow(cls.name(), WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ASSERT_TRUE(wnd);
  const RECT r = WindowRectOf(wnd.get());
  const int midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
  for (POINT p : {POINT{r.left, midY}, POINT{r.right - 1, midY}, POINT{midX, r.bottom - 1}, POINT{r.left, r.top},
                  POINT{r.right - 1, r.bottom - 1}}) {
    SCOPED_TRACE(testing::Message() << "(" << p.x << "," << p.y << ")");
    const LRESULT system = ::SendMessageW(wnd.get(), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(FrameHitTest(wnd.get(), p), static_cast<int>(system));
  }
}

TEST(CaptionHitTestOnWindows, CaptionBandAndCloseButton) {
  UniqueWindow wnd = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ASSERT_TRUE(wnd);
  const CaptionGeometry g = CaptionGeometryOf(wnd.get(), 3);
  ASSERT_GT(g.buttonWidth, 0);
  const RECT r = WindowRectOf(wnd.get());
  const int buttonY = r.top + g.frameY + g.buttonHeight / 2;
  EXPECT_EQ(CaptionHitTest(wnd.get(), POINT{(r.left + r.right) / 2, r.top + g.frameY + 2}, 0), hit::kCaption);
  EXPECT_EQ(CaptionHitTest(wnd.get(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, 0), hit::kNowhere);
  EXPECT_EQ(CaptionHitTest(wnd.get(), POINT{r.right - g.frameX - 2, buttonY}, 3), hit::kClose);
  EXPECT_EQ(CaptionHitTest(wnd.get(), POINT{r.left + g.frameX + 2, buttonY}, 3), hit::kSysMenu);
  EXPECT_EQ(CaptionHitTest(wnd.get(), POINT{(r.left + r.right) / 2, buttonY}, 3), hit::kCaption);
}

}  // namespace
