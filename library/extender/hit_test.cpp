#include "library/extender/hit_test.h"

#include "library/extender/classification_windows.h"
#include "platform/handles.h"

namespace dl::extender {
namespace {
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

template <typename Fn>
Fn User32Function(const char* name) noexcept {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

int Scale(int value, UINT dpi, UINT systemDpi) noexcept {
  return systemDpi == 0 ? value : ::MulDiv(value, static_cast<int>(dpi), static_cast<int>(systemDpi));
}

HitRect WindowRectOf(HWND wnd) noexcept {
  RECT r{};
  if (!::GetWindowRect(wnd, &r)) return {};
  return {r.left, r.top, r.right, r.bottom};
}

bool IsRightToLeft(HWND wnd) noexcept {
  return (::GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
}
}  // namespace

UINT WindowDpi(HWND wnd) noexcept {
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow) {
    if (UINT dpi = getDpiForWindow(wnd)) return dpi;
  }
  return SystemDpi();
}

FrameGeometry FrameGeometryOf(HWND wnd) noexcept {
  platform::LastErrorGuard keepError;
  const UINT dpi = WindowDpi(wnd);
  const UINT systemDpi = SystemDpi();
  FrameGeometry g;
  g.window = WindowRectOf(wnd);
  g.frameX = Scale(::GetSystemMetrics(SM_CXFRAME), dpi, systemDpi);
  g.frameY = Scale(::GetSystemMetrics(SM_CYFRAME), dpi, systemDpi);
  g.applicationFrame = IsApplicationFrameWindow(wnd);
  g.rightToLeft = IsRightToLeft(wnd);
  return g;
}

CaptionGeometry CaptionGeometryOf(HWND wnd, int ownButtonCount) noexcept {
  platform::LastErrorGuard keepError;
  const UINT dpi = WindowDpi(wnd);
  const UINT systemDpi = SystemDpi();
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(wnd, GWL_STYLE));
  const bool toolWindow = (::GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
  const bool resizable = (style & WS_THICKFRAME) != 0;

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    metrics.iCaptionWidth = metrics.iSmCaptionWidth = ::GetSystemMetrics(SM_CXSIZE);
    metrics.iCaptionHeight = metrics.iSmCaptionHeight = ::GetSystemMetrics(SM_CYSIZE);
  }
  const int buttonWidth = toolWindow ? metrics.iSmCaptionWidth : metrics.iCaptionWidth;
  const int buttonHeight = toolWindow ? metrics.iSmCaptionHeight : metrics.iCaptionHeight;

  CaptionGeometry g;
  g.window = WindowRectOf(wnd);
  g.frameX = Scale(::GetSystemMetrics(resizable ? SM_CXFRAME : SM_CXDLGFRAME), dpi, systemDpi);
  g.frameY = Scale(::GetSystemMetrics(resizable ? SM_CYFRAME : SM_CYDLGFRAME), dpi, systemDpi);
  g.captionHeight = Scale(::GetSystemMetrics(toolWindow ? SM_CYSMCAPTION : SM_CYCAPTION), dpi, systemDpi);
  g.buttonWidth = Scale(buttonWidth - 4, dpi, systemDpi);
  g.buttonHeight = Scale(buttonHeight - 4, dpi, systemDpi);
  g.buttonCount = ownButtonCount;
  g.applicationFrame = IsApplicationFrameWindow(wnd);
  g.rightToLeft = IsRightToLeft(wnd);
  return g;
}

int FrameHitTest(HWND wnd, POINT point) noexcept {
  if (!::IsWindow(wnd)) return hit::kNowhere;
  return FrameHitTest(FrameGeometryOf(wnd), point.x, point.y);
}

int CaptionHitTest(HWND wnd, POINT point, int ownButtonCount) noexcept {
  if (!::IsWindow(wnd)) return hit::kNowhere;
  return CaptionHitTest(CaptionGeometryOf(wnd, ownButtonCount), point.x, point.y);
}

}  // namespace dl::extender
