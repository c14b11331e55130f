#include "library/extender/window_transparency.h"

#include "library/extender/classification_windows.h"
#include "library/extender/window_services_rules.h"
#include "platform/callback_guard.h"
#include "platform/registered_messages.h"
#include "protocol/message_names.h"

namespace dl::extender {
namespace {

constexpr UINT kRedrawFlags =
    RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME;
constexpr UINT kQuietMoveFlags =
    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING | SWP_DEFERERASE;

bool HasClass(HWND window, const wchar_t* name) noexcept {
  wchar_t className[64];
  return ::GetClassNameW(window, className, 64) > 0 && ::lstrcmpiW(className, name) == 0;
}

LONG_PTR ExStyle(HWND window) noexcept { return ::GetWindowLongPtrW(window, GWL_EXSTYLE); }

void SetExStyle(HWND window, LONG_PTR exStyle) noexcept {
  if (IsConsoleWindow(window)) {
    // Only the console's own process may change its style; the patch there does it for us.
    static const UINT patchMessage = platform::RegisterMessageWithFallback(protocol::kConsolePatchMessage);
    if (patchMessage) {
      DWORD_PTR ignored = 0;
      ::SendMessageTimeoutW(window, patchMessage, protocol::kConsolePatchSetExStyle, exStyle, SMTO_ABORTIFHUNG,
                            1000, &ignored);
    }
    return;
  }
  ::SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle);
}

// Layered through UpdateLayeredWindow: setting attributes would throw its picture away.
bool LayeredWithoutAttributes(HWND window) noexcept {
  if (!(ExStyle(window) & WS_EX_LAYERED)) return false;
  const DWORD lastError = ::GetLastError();
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  const bool readable = ::GetLayeredWindowAttributes(window, &key, &alpha, &flags) != FALSE;
  ::SetLastError(lastError);
  return !readable;
}

}  // namespace

int ReadWindowTransparency(HWND window) noexcept {
  const DWORD lastError = ::GetLastError();
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  if (::GetLayeredWindowAttributes(window, &key, &alpha, &flags) && (flags & LWA_ALPHA))
    return TransparencyForAlpha(alpha);
  if (lastError == 0) ::SetLastError(0);
  return 0;
}

bool SetWindowTransparency(HWND window, int percent) noexcept {
  const LONG_PTR exStyle = ExStyle(window);
  if (!(exStyle & WS_EX_LAYERED)) SetExStyle(window, exStyle | WS_EX_LAYERED);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  if (!::GetLayeredWindowAttributes(window, &key, &alpha, &flags)) {
    key = 0;
    flags = 0;
  }
  const bool set = ::SetLayeredWindowAttributes(window, key, AlphaForTransparency(percent), flags | LWA_ALPHA) != FALSE;
  if (HasClass(window, L"BaseBar")) ::RedrawWindow(window, nullptr, nullptr, kRedrawFlags);
  return set;
}

bool SetHiddenWindowTransparency(HWND window, int percent) noexcept {
  if (::IsWindowVisible(window)) return SetWindowTransparency(window, percent);
  RECT rc{};
  if (!::GetWindowRect(window, &rc)) return false;
  // Window coordinates of a child are relative to its parent.
  POINT home{rc.left, rc.top};
  if (HWND parent = ::GetAncestor(window, GA_PARENT); parent && parent != ::GetDesktopWindow())
    ::ScreenToClient(parent, &home);
  const int width = rc.right - rc.left;
  ::SetWindowPos(window, nullptr, -(width + 50), home.y, 0, 0, kQuietMoveFlags);
  ::ShowWindow(window, SW_SHOWNOACTIVATE);
  const bool set = SetWindowTransparency(window, percent);
  ::ShowWindow(window, SW_HIDE);
  ::SetWindowPos(window, nullptr, home.x, home.y, 0, 0, kQuietMoveFlags);
  return set;
}

void RemoveWindowTransparency(HWND window) noexcept {
  const LONG_PTR exStyle = ExStyle(window);
  if (!(exStyle & WS_EX_LAYERED)) return;
  SetWindowTransparency(window, 0);
  // A colour key is the application's own: clearing the layered style would take it away.
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  if (::GetLayeredWindowAttributes(window, &key, &alpha, &flags) && (flags & LWA_COLORKEY)) {
    ::SetLayeredWindowAttributes(window, key, 255, LWA_COLORKEY);
    return;
  }
  SetExStyle(window, ExStyle(window) & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
}

void InitializeTransparency(HWND window, TransparencyProperties& properties) noexcept {
  try {
    if (properties.HasProperty(kFirstTimeTransparencyAppliedProperty)) return;
    const int current = ReadWindowTransparency(window);
    properties.SetProperty(kCurrentWindowTransparencyProperty, current);
    properties.SetProperty(kFirstTimeTransparencyAppliedProperty, 1);
    if (current != 0 || LayeredWithoutAttributes(window)) return;
    if (HasClass(window, L"DV2ControlHost"))
      SetHiddenWindowTransparency(window, 100);
    else
      SetWindowTransparency(window, 100);
    ::RedrawWindow(window, nullptr, nullptr, kRedrawFlags);
    SetWindowTransparency(window, 0);
  } catch (...) {
    platform::RecordCallbackFailure("window_transparency: InitializeTransparency");
  }
}

void FinalizeTransparency(HWND window, TransparencyProperties& properties) noexcept {
  try {
    properties.SetProperty(kCurrentWindowTransparencyProperty, 0);
    properties.RemoveProperty(kFirstTimeTransparencyAppliedProperty);
  } catch (...) {
    platform::RecordCallbackFailure("window_transparency: FinalizeTransparency");
  }
  RemoveWindowTransparency(window);
}

}  // namespace dl::extender
