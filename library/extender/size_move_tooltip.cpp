#include "library/extender/size_move_tooltip.h"

#include <commctrl.h>

#include "library/extender/dpi_queries.h"
#include "library/extender/system_functions.h"
#include "library/extender/utility_window.h"
#include "library/extender/window_services_rules.h"
#include "platform/callback_guard.h"
#include "platform/current_module.h"

namespace dl::extender {
namespace {

// The tool-info layout up to lParam: what every comctl32 version since 5.81 takes.
constexpr UINT kToolInfoSize = 64;
static_assert(offsetof(TTTOOLINFOW, lParam) + sizeof(LPARAM) == kToolInfoSize);
constexpr int kHidden = -32768;

TTTOOLINFOW ToolInfo(HWND owner, const wchar_t* text) noexcept {
  TTTOOLINFOW info{};
  info.cbSize = kToolInfoSize;
  info.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(owner);
  info.hinst = platform::CurrentModule();
  info.lpszText = const_cast<wchar_t*>(text);
  return info;
}

TooltipCursorKind CurrentCursorKind() noexcept {
  const HCURSOR cursor = ::GetCursor();
  if (!cursor) return TooltipCursorKind::kOther;
  if (cursor == ::LoadCursorW(nullptr, IDC_SIZENWSE) || cursor == ::LoadCursorW(nullptr, IDC_SIZENESW))
    return TooltipCursorKind::kDiagonalSizing;
  if (cursor == ::LoadCursorW(nullptr, IDC_SIZEWE)) return TooltipCursorKind::kHorizontalSizing;
  return TooltipCursorKind::kOther;
}

LPARAM PackPoint(int x, int y) noexcept {
  return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

}  // namespace

void SizeMoveTooltip::Show(int index, const std::wstring& caption) noexcept {
  if (index < 0 || index > 1) return;
  try {
    if (lines_[index] == caption) return;
    lines_[index] = caption;
    text_ = ComposeTooltipText(lines_[0], lines_[1]);
  } catch (...) {
    return;
  }
  Rebuild();
}

void SizeMoveTooltip::Rebuild() noexcept {
  if (text_.empty()) {
    Destroy();
    return;
  }
  if (!window_ && !Create()) return;
  UpdateAndPlace();
}

bool SizeMoveTooltip::Create() noexcept {
  if (!EnsureTooltipClass()) return false;
  window_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                              platform::CurrentModule(), nullptr);
  if (!window_) return false;
  POINT cursor{};
  ::GetCursorPos(&cursor);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    fontHeight_ = metrics.lfStatusFont.lfHeight;
    LOGFONTW font = metrics.lfStatusFont;
    font.lfHeight = ::MulDiv(fontHeight_, static_cast<int>(MonitorDpiAt(cursor)), static_cast<int>(SystemDpi()));
    font_.reset(::CreateFontIndirectW(&font));
  } else {
    fontHeight_ = 8;
  }
  ::SendMessageW(window_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(font_ ? font_.get() : ::GetStockObject(SYSTEM_FONT)), FALSE);
  SetMaxTipWidth();
  TTTOOLINFOW info = ToolInfo(owner_, L"");
  ::SendMessageW(window_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  return true;
}

void SizeMoveTooltip::SetMaxTipWidth() noexcept {
  // Wide enough for two lines of coordinates.
  static constexpr wchar_t kSample[] = L"-MMMMM M -MMMMM";
  HDC dc = ::GetDC(window_);
  if (!dc) return;
  platform::ScopedWindowDc release(window_, dc);
  const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(window_, WM_GETFONT, 0, 0));
  platform::ScopedSelectObject select(dc, font ? font : ::GetStockObject(SYSTEM_FONT));
  SIZE size{};
  if (::GetTextExtentPoint32W(dc, kSample, static_cast<int>(std::size(kSample) - 1), &size))
    ::SendMessageW(window_, TTM_SETMAXTIPWIDTH, 0, size.cx);
}

void SizeMoveTooltip::ApplyFont(POINT cursor) noexcept {
  if (!font_) return;
  const int height = ::MulDiv(fontHeight_, static_cast<int>(MonitorDpiAt(cursor)), static_cast<int>(SystemDpi()));
  LOGFONTW current{};
  if (!::GetObjectW(font_.get(), sizeof(current), &current) || current.lfHeight == height) return;
  current.lfHeight = height;
  platform::UniqueGdiObject replacement(::CreateFontIndirectW(&current));
  if (!replacement) return;
  ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(replacement.get()), FALSE);
  font_ = std::move(replacement);  // the old font is deleted only now that the tooltip let go of it
  SetMaxTipWidth();
}

RECT SizeMoveTooltip::WorkAreaAt(POINT point) const noexcept {
  RECT area{};
  try {
    if (workAreaSource_ && workAreaSource_(point, area)) return area;
  } catch (...) {
    platform::RecordCallbackFailure("size_move_tooltip: WorkAreaAt");
  }
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (::GetMonitorInfoW(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) area = RECT{0, 0, 0x7FFF, 0x7FFF};
  return area;
}

void SizeMoveTooltip::UpdateAndPlace() noexcept {
  TTTOOLINFOW info = ToolInfo(owner_, text_.c_str());
  ::SendMessageW(window_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  POINT cursor{};
  ::GetCursorPos(&cursor);
  const int dpi = static_cast<int>(MonitorDpiAt(cursor));
  ApplyFont(cursor);
  const bool wasVisible = ::IsWindowVisible(window_) != FALSE;
  if (!wasVisible) {
    ::SetWindowPos(window_, nullptr, kHidden, kHidden, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(window_, TTM_TRACKPOSITION, 0, PackPoint(kHidden, kHidden));
    ::SendMessageW(window_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
  }
  const int offset = TooltipVerticalOffset(CurrentCursorKind(), dpi);
  const POINT below{cursor.x, cursor.y + offset};
  // Tracking to a position makes the tooltip take the size of its new text; its window
  // rectangle then tells the size to place.
  ::SendMessageW(window_, TTM_TRACKPOSITION, 0, PackPoint(below.x, below.y));
  RECT shown{};
  ::GetWindowRect(window_, &shown);
  const RECT work = WorkAreaAt(below);
  const PlainPoint at = PlaceTooltip({cursor.x, cursor.y}, offset, shown.right - shown.left, shown.bottom - shown.top,
                                     PlainRect{work.left, work.top, work.right, work.bottom});
  if (at.x != below.x || at.y != below.y) ::SendMessageW(window_, TTM_TRACKPOSITION, 0, PackPoint(at.x, at.y));
  if (!wasVisible)
    ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void SizeMoveTooltip::Destroy() noexcept {
  if (HWND window = std::exchange(window_, nullptr)) {
    if (!::DestroyWindow(window)) ::PostMessageW(window, WM_CLOSE, 0, 0);
  }
  font_.reset();
}

}  // namespace dl::extender
