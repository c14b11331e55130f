// Child windows subclassed on behalf of window parts, the app-frame input sink's double
// clicks, and the search for the ribbon/menu-bar child of Office-style frames.
#include <algorithm>
#include <cwctype>
#include <mutex>
#include <utility>

#include "library/extender/dpi_queries.h"
#include "library/extender/hit_test.h"
#include "library/extender/process_flags.h"
#include "library/extender/window_extender.h"
#include "library/extender/window_identity.h"
#include "platform/callback_guard.h"

namespace dl::extender {
namespace {

constexpr UINT kOfficeFirstSearchMs = 300;
constexpr UINT kOfficeSearchRetryMs = 1000;
constexpr int kOfficeSearchAttempts = 20;
constexpr UINT kOfficeRecheckMs = 300;
constexpr DWORD kOfficeFullRecheckMs = 2000;

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

struct MenuBarSearch {
  int windowTop = 0;
  int clientTop = 0;
  int dpiStep = 0;
  HWND found = nullptr;
};

MenuBarSearch SearchRecordFor(HWND frame) {
  MenuBarSearch search;
  RECT rc{};
  ::GetWindowRect(frame, &rc);
  search.windowTop = rc.top;
  POINT origin{0, 0};
  ::ClientToScreen(frame, &origin);
  search.clientTop = origin.y;
  if (OsFlags().win10OrLater) {
    const UINT dpi = MonitorDpi(::MonitorFromWindow(frame, MONITOR_DEFAULTTONEAREST));
    search.dpiStep = (static_cast<int>(dpi) - 96) / 24;
  }
  return search;
}

int ScreenYOf(HWND wnd, POINT point) {
  ::ClientToScreen(wnd, &point);
  return point.y;
}

bool IsMenuBar(HWND child, const MenuBarSearch& search) {
  const std::wstring cls = Upper(ClassNameOf(child));
  const bool mjOwnerDraw = cls == L"JRIVER OWNER DRAW CLASS";
  bool ribbonLike = cls == L"NETUIHWND" || mjOwnerDraw || cls == L"ADIMPAPPLICATIONFRAME";
  if (cls == L"MAINUIWND") {
    HWND parent = ::GetAncestor(child, GA_PARENT);
    ribbonLike = Upper(ClassNameOf(parent)) == L"MJFRAME" &&
                 !::FindWindowExW(child, nullptr, L"JRiver Owner Draw Class", nullptr);
  }
  if (ribbonLike) {
    const int y = ScreenYOf(child, {0, 0});
    if (CurrentProcessFlags().office && (y == search.windowTop || y == search.clientTop)) return true;
    return y == search.windowTop - search.dpiStep || y == search.clientTop - search.dpiStep;
  }
  if (cls == L"GXWINDOW" || cls.rfind(L"BCGPRIBBONBAR:", 0) == 0)
    return std::abs(ScreenYOf(child, {4, 0}) - search.windowTop) <= 4;
  if (cls == L"TADVTOOLBARPAGER") {
    const int y = ScreenYOf(child, {-1, -1});
    return y == search.windowTop || y == search.clientTop;
  }
  return false;
}

BOOL CALLBACK FindMenuBarProc(HWND child, LPARAM param) noexcept {
  auto* search = reinterpret_cast<MenuBarSearch*>(param);
  try {
    if (IsMenuBar(child, *search)) {
      search->found = child;
      return FALSE;
    }
  } catch (...) {
    return FALSE;  // never unwind through user32
  }
  return TRUE;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Child subclassing.

void TWindowExtender::SubclassChildWindow(HWND child, IChildMessageHandler* handler) {
  if (!handler || !::IsWindow(child)) return;
  std::lock_guard lock(subclassedWindowsLock_);
  auto& record = subclassedWindows_[child];
  if (!record) {
    record = std::make_shared<ChildRecord>();
    record->hook = std::make_unique<WHook>(child, MakeWndMethod<&TWindowExtender::ChildProc>(this));
  }
  record->handlers.emplace_back(handler);
}

void TWindowExtender::UnsubclassChildWindow(HWND child, IChildMessageHandler* handler) {
  std::shared_ptr<ChildRecord> gone;  // unhooked outside the lock's bookkeeping, after the erase
  std::lock_guard lock(subclassedWindowsLock_);
  auto it = subclassedWindows_.find(child);
  if (it == subclassedWindows_.end()) return;
  auto& handlers = it->second->handlers;
  if (handler) {
    for (auto h = handlers.rbegin(); h != handlers.rend(); ++h) {
      if (h->Get() == handler) {
        handlers.erase(std::next(h).base());
        break;
      }
    }
  } else {
    handlers.clear();
  }
  if (handlers.empty()) {
    gone = std::move(it->second);
    subclassedWindows_.erase(it);
  }
}

std::size_t TWindowExtender::SubclassedChildCount() const {
  std::lock_guard lock(subclassedWindowsLock_);
  return subclassedWindows_.size();
}

// Like the window procedure: the child's own exceptions pass on, the parts' never leave.
void TWindowExtender::ChildProc(HWND child, WindowMessage& message) {
  model::RefPtr<TWindowExtender> hold(this);
  const ScopedThreadDpiAwareness dpiAwareness;
  std::lock_guard lock(subclassedWindowsLock_);
  std::shared_ptr<ChildRecord> record;
  try {
    if (auto it = subclassedWindows_.find(child); it != subclassedWindows_.end()) record = it->second;
  } catch (...) {
    platform::RecordCallbackFailure("window_extender_children: ChildProc");
  }
  if (!record) {
    // No record: the hook is gone with it, so nothing routes here; pass on to be safe.
    message.Result = ::DefWindowProcW(child, static_cast<UINT>(message.Msg), message.WParam, message.LParam);
    return;
  }
  bool handled = false;
  for (std::size_t i = 0; i < record->handlers.size(); ++i) {
    model::RefPtr<IChildMessageHandler> handler = record->handlers[i];
    try {
      if (handler->BeforeChildMessage(child, message)) handled = true;
    } catch (...) {
      platform::RecordCallbackFailure("window_extender_children: ChildProc");
    }
  }
  if (!handled) record->hook->CallOldProc(child, message);
  try {
    // Last to first, re-reading the list: a handler may remove itself.
    for (std::size_t i = record->handlers.size(); i > 0; --i) {
      if (i > record->handlers.size()) continue;
      model::RefPtr<IChildMessageHandler> handler = record->handlers[i - 1];
      try {
        handler->AfterChildMessage(child, message, handled);
      } catch (...) {
        platform::RecordCallbackFailure("window_extender_children: ChildProc");
      }
    }
    if (message.Msg == WM_DESTROY) UnsubclassChildWindow(child, nullptr);
  } catch (...) {
    platform::RecordCallbackFailure("window_extender_children: ChildProc");
  }
}

// ---------------------------------------------------------------------------------------
// The extender's own child handler.

bool TWindowExtender::BeforeChildMessage(HWND wnd, WindowMessage& message) {
  const UINT msg = static_cast<UINT>(message.Msg);
  if (wnd == appFrameInputSinkWnd_ && (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN)) {
    const DWORD now = ::GetTickCount();
    const DWORD doubleClickTime = ::GetDoubleClickTime();
    if (msg == inputSinkButtonDownMsg_) {
      if (now - inputSinkButtonDownTime_ > doubleClickTime) {
        inputSinkButtonDownTime_ = now;
        return false;
      }
      // An app frame's title bar sends no non-client double clicks: make one.
      inputSinkButtonDownMsg_ = 0;
      POINT cursor{};
      ::GetCursorPos(&cursor);
      if (FrameHitTest(wnd_, cursor) != HTCLIENT || CaptionHitTest(wnd_, cursor, 0) != HTCAPTION) return false;
      WindowMessage dbl{msg - 350, HTCAPTION,
                        static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(static_cast<WORD>(cursor.x),
                                                                        static_cast<WORD>(cursor.y)))),
                        0};
      if (BeforeMessage(dbl)) return true;
    } else {
      const bool swallow =
          inputSinkButtonDownMsg_ == 0 && inputSinkTimeRecorded_ && now - inputSinkButtonDownTime_ <= doubleClickTime;
      inputSinkButtonDownMsg_ = msg;
      inputSinkButtonDownTime_ = now;
      inputSinkTimeRecorded_ = true;
      return swallow;
    }
  }
  if (msg == WM_DESTROY && officeRecheckTimer_) officeRecheckTimer_->SetInterval(10);
  bool handled = false;
  for (std::size_t i = 0; i < officeMenuBarHandlers_.size(); ++i) {
    model::RefPtr<IOffice2007MenuBarMessageHandler> handler = officeMenuBarHandlers_[i];
    if (handler->BeforeChildMessage(wnd, message)) handled = true;
  }
  return handled;
}

void TWindowExtender::AfterChildMessage(HWND wnd, WindowMessage& message, bool beforeHandled) {
  for (std::size_t i = 0; i < officeMenuBarHandlers_.size(); ++i) {
    model::RefPtr<IOffice2007MenuBarMessageHandler> handler = officeMenuBarHandlers_[i];
    handler->AfterChildMessage(wnd, message, beforeHandled);
  }
}

// ---------------------------------------------------------------------------------------
// Ribbon/menu-bar search.

void TWindowExtender::Office2007SubclassingSubscribe(IOffice2007MenuBarMessageHandler* handler) {
  if (!handler) return;
  std::lock_guard lock(subclassedWindowsLock_);
  officeMenuBarHandlers_.emplace_back(handler);
  if (!officeSubclassingEnabled_) {
    officeSubclassingEnabled_ = true;
    StartOfficeSearch();
  }
}

void TWindowExtender::Office2007SubclassingUnsubscribe(IOffice2007MenuBarMessageHandler* handler) {
  std::lock_guard lock(subclassedWindowsLock_);
  for (auto it = officeMenuBarHandlers_.rbegin(); it != officeMenuBarHandlers_.rend(); ++it) {
    if (it->Get() == handler) {
      officeMenuBarHandlers_.erase(std::next(it).base());
      break;
    }
  }
  if (officeMenuBarHandlers_.empty()) {
    ReleaseOfficeMenuBar();
    officeSubclassingEnabled_ = false;
  }
}

void TWindowExtender::StartOfficeSearch() {
  if (!officeTimer_) {
    officeTimer_ = timerCollection_.CreateNewTimer();
    if (!officeTimer_) return;
    officeTimer_->SetOnTimer([this](Timer& t) { OfficeSearchStep(t); });
  }
  officeTimer_->SetEnabled(false);
  officeTimer_->SetInterval(kOfficeFirstSearchMs);
  officeTimerHitsLeft_ = kOfficeSearchAttempts;
  officeTimer_->SetEnabled(true);
}

HWND TWindowExtender::FindOfficeMenuBar(HWND only) const {
  MenuBarSearch search = SearchRecordFor(wnd_);
  if (only) return IsMenuBar(only, search) ? only : nullptr;
  ::EnumChildWindows(wnd_, FindMenuBarProc, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void TWindowExtender::OfficeSearchStep(Timer& sender) {
  sender.SetEnabled(false);
  officeMenuBarWnd_ = FindOfficeMenuBar(nullptr);
  if (officeMenuBarWnd_ && ::IsWindowVisible(officeMenuBarWnd_)) {
    SubclassChildWindow(officeMenuBarWnd_, this);
    if (!officeRecheckTimer_) {
      officeRecheckTimer_ = timerCollection_.CreateNewTimer();
      if (officeRecheckTimer_) officeRecheckTimer_->SetOnTimer([this](Timer& t) { OfficeRecheckStep(t); });
    }
    if (officeRecheckTimer_) {
      officeRecheckTimer_->SetInterval(kOfficeRecheckMs);
      officeRecheckTimer_->SetEnabled(true);
    }
    std::lock_guard lock(subclassedWindowsLock_);
    const auto handlers = officeMenuBarHandlers_;
    for (const auto& handler : handlers) handler->WindowSubclassed();
    return;
  }
  officeMenuBarWnd_ = nullptr;
  if (--officeTimerHitsLeft_ > 0) {
    sender.SetInterval(kOfficeSearchRetryMs);
    sender.SetEnabled(true);
  }
}

void TWindowExtender::OfficeRecheckStep(Timer& sender) {
  if (!::IsWindowVisible(wnd_)) return;
  sender.SetInterval(kOfficeRecheckMs);
  bool valid = officeMenuBarWnd_ && ::IsWindowVisible(officeMenuBarWnd_);
  const DWORD now = ::GetTickCount();
  if (valid) {
    const DWORD elapsed = now >= officeFullRecheckTime_ ? now - officeFullRecheckTime_ : officeFullRecheckTime_ - now;
    if (elapsed > kOfficeFullRecheckMs) {
      valid = FindOfficeMenuBar(officeMenuBarWnd_) != nullptr;
      officeFullRecheckTime_ = now;
    }
  }
  if (!valid) {
    sender.SetEnabled(false);
    ReleaseOfficeMenuBar();
    StartOfficeSearch();
  }
}

void TWindowExtender::ReleaseOfficeMenuBar() {
  if (!officeMenuBarWnd_) return;
  if (officeTimer_) officeTimer_->SetEnabled(false);
  if (officeRecheckTimer_) officeRecheckTimer_->SetEnabled(false);
  HWND menuBar = std::exchange(officeMenuBarWnd_, nullptr);
  UnsubclassChildWindow(menuBar, this);
  if (::IsWindow(menuBar))
    ::RedrawWindow(menuBar, nullptr, nullptr, RDW_INVALIDATE | RDW_NOINTERNALPAINT | RDW_NOERASE | RDW_UPDATENOW | RDW_FRAME);
}

}  // namespace dl::extender
