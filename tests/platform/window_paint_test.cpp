// A real window under Wine and Xvfb: created, shown, pumped, and its painting read back from the screen.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/handles.h"
#include "tests/support/pump.h"
#include "tests/support/window_class.h"

namespace {
using namespace dl::platform;
using dl::test::PumpUntil;

constexpr COLORREF kFill = RGB(200, 30, 60);
int g_paints = 0;

LRESULT CALLBACK PaintProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(wnd, &ps);
    UniqueGdiObject brush(::CreateSolidBrush(kFill));
    ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(brush.get()));
    ::EndPaint(wnd, &ps);
    ++g_paints;
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

TEST(RealWindow, IsShownPaintedAndVisibleOnTheScreen) {
  dl::test::ScopedClass cls(L"dl_PaintProbe", PaintProc);
  ASSERT_NE(cls.atom(), 0);
  UniqueWindow wnd(::CreateWindowExW(WS_EX_TOPMOST, cls.name(), L"paint probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                     100, 100, 320, 200, nullptr, nullptr, dl::test::Instance(), nullptr));
  ASSERT_TRUE(wnd);
  ::UpdateWindow(wnd.get());
  ASSERT_TRUE(PumpUntil([] { return g_paints > 0; }, std::chrono::seconds(10))) << "no WM_PAINT";
  EXPECT_TRUE(::IsWindowVisible(wnd.get()));

  // Read the client centre back from the screen: what a user would see.
  RECT client;
  ::GetClientRect(wnd.get(), &client);
  POINT centre{client.right / 2, client.bottom / 2};
  ::ClientToScreen(wnd.get(), &centre);
  COLORREF seen = CLR_INVALID;
  ASSERT_TRUE(PumpUntil(
      [&] {
        ScopedWindowDc screen(nullptr, ::GetDC(nullptr));
        seen = ::GetPixel(screen.get(), centre.x, centre.y);
        return seen == kFill;
      },
      std::chrono::seconds(10)))
      << std::hex << "screen shows 0x" << seen;

  // Closing goes through the normal path and leaves no window behind.
  HWND raw = wnd.release();
  ::SendMessageW(raw, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(raw));
}
}  // namespace
