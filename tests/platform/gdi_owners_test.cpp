// GDI owners and scopes on real objects: owners free what they hold, scopes put back the state
// they changed.
#include <gtest/gtest.h>

#include "platform/handles.h"
#include "tests/support/window_class.h"

namespace {
using namespace dl::platform;

TEST(GdiOwners, TypedOwnersDeleteTheirObjectOnResetAndAtScopeEnd) {
  HBRUSH brushHandle = nullptr;
  {
    UniqueBrush brush(::CreateSolidBrush(RGB(1, 2, 3)));
    ASSERT_TRUE(brush);
    brushHandle = brush.get();
    EXPECT_EQ(::GetObjectType(brushHandle), static_cast<DWORD>(OBJ_BRUSH));
  }
  EXPECT_EQ(::GetObjectType(brushHandle), 0u) << "the brush outlived its owner";

  UniqueFont font(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
  UniqueRegion region(::CreateRectRgn(0, 0, 10, 10));
  UniqueBitmap bitmap(::CreateBitmap(4, 4, 1, 32, nullptr));
  UniquePen pen(::CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  const HGDIOBJ held[] = {font.get(), region.get(), bitmap.get(), pen.get()};
  for (HGDIOBJ object : held) EXPECT_NE(::GetObjectType(object), 0u);
  font.reset();
  region.reset();
  bitmap.reset();
  pen.reset();
  for (HGDIOBJ object : held) EXPECT_EQ(::GetObjectType(object), 0u);
}

TEST(GdiOwners, SelectScopePutsTheOldObjectBackEvenWhenTheNewOneGoesFirst) {
  UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  const HGDIOBJ original = ::GetCurrentObject(dc.get(), OBJ_BRUSH);
  UniqueBrush brush(::CreateSolidBrush(RGB(10, 20, 30)));
  {
    ScopedSelectObject select(dc.get(), brush.get());
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BRUSH), brush.get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BRUSH), original);
}

int g_paintsThroughScope = 0;
bool g_paintDcValid = false;
RECT g_paintRect{};

LRESULT CALLBACK ScopedPaintProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  if (msg == WM_PAINT) {
    PaintScope paint(wnd);
    g_paintDcValid = paint.dc() != nullptr && ::GetDeviceCaps(paint.dc(), LOGPIXELSY) > 0;
    g_paintRect = paint.paint().rcPaint;
    ++g_paintsThroughScope;
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

TEST(GdiOwners, PaintScopePaintsTheInvalidRectangleAndLeavesNothingToPaint) {
  dl::test::ScopedClass cls(L"dl_PaintScopeProbe", ScopedPaintProc);
  ASSERT_NE(cls.atom(), 0);
  UniqueWindow wnd(::CreateWindowExW(0, cls.name(), L"paint scope", WS_POPUP | WS_VISIBLE, 40, 40, 120, 80, nullptr,
                                     nullptr, dl::test::Instance(), nullptr));
  ASSERT_TRUE(wnd);
  ::UpdateWindow(wnd.get());
  const int before = g_paintsThroughScope;
  RECT part{10, 10, 30, 20};
  ::InvalidateRect(wnd.get(), &part, FALSE);
  ::UpdateWindow(wnd.get());  // sends WM_PAINT now
  EXPECT_EQ(g_paintsThroughScope, before + 1);
  EXPECT_TRUE(g_paintDcValid);
  EXPECT_TRUE(::EqualRect(&g_paintRect, &part));
  EXPECT_FALSE(::GetUpdateRect(wnd.get(), nullptr, FALSE)) << "the paint left the window invalid";
}

TEST(GdiOwners, WindowDcOwnerGivesAUsableDcOfTheWindow) {
  UniqueWindow wnd(::CreateWindowExW(0, L"STATIC", L"dc", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(wnd);
  ScopedWindowDc dc(wnd.get());
  ASSERT_NE(dc.get(), nullptr);
  EXPECT_EQ(::WindowFromDC(dc.get()), wnd.get());
}

}  // namespace
