// The extender's message path: its window procedure, its own reactions before and after the
// window's previous procedure, the message handlers of its parts, and the service window.
#include <cwchar>

#include "library/extender/classification_windows.h"
#include "library/extender/process_flags.h"
#include "library/extender/window_extender.h"
#include "library/extender/window_identity.h"
#include "platform/callback_guard.h"
#include "platform/registered_messages.h"

namespace dl::extender {
namespace {

// The window property that codes 71 and 72 set and remove.
ATOM MarkPropertyAtom() noexcept {
  static const ATOM atom = ::GlobalAddAtomW(L"{ECF0E54A-1D63-4A21-8CA0-BA19D4EAD28E}");
  return atom;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Window procedure.

// Counts a call of the window procedure in for as long as it lasts, however it leaves. Only the
// window's thread changes the count, so plain atomic stores do; other threads may read it.
class TWindowExtender::WindowProcScope {
 public:
  explicit WindowProcScope(TWindowExtender& extender) noexcept : extender_(extender) {
    extender_.nesting_.store(extender_.nesting_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  }
  ~WindowProcScope() {
    const int now = extender_.nesting_.load(std::memory_order_relaxed) - 1;
    extender_.nesting_.store(now, std::memory_order_relaxed);
    if (now != 0 || extender_.detachedWhileInside_.empty()) return;
    try {
      extender_.detachedWhileInside_.clear();
    } catch (...) {
      platform::RecordCallbackFailure("window_extender_messages: WindowProc");
    }
  }
  WindowProcScope(const WindowProcScope&) = delete;
  WindowProcScope& operator=(const WindowProcScope&) = delete;

 private:
  TWindowExtender& extender_;
};

// The handlers' AfterMessage runs when the previous procedure returns, and also when it leaves
// by an exception that goes on to the application.
class TWindowExtender::AfterMessageScope {
 public:
  AfterMessageScope(TWindowExtender& extender, WindowMessage& message, bool handled) noexcept
      : extender_(extender), message_(message), handled_(handled) {}
  ~AfterMessageScope() {
    try {
      extender_.AfterMessage(message_, handled_);
    } catch (...) {
      platform::RecordCallbackFailure("window_extender_messages: WindowProc");
    }
  }
  AfterMessageScope(const AfterMessageScope&) = delete;
  AfterMessageScope& operator=(const AfterMessageScope&) = delete;

 private:
  TWindowExtender& extender_;
  WindowMessage& message_;
  bool handled_;
};

// Not noexcept: whatever the window's previous procedure throws goes on to the application's
// own catch (outside DispatchMessage, say), with this extender's state restored on the way;
// failures of the extender and its parts never leave it.
void TWindowExtender::WindowProc(HWND wnd, WindowMessage& message) {
  // The extender may be closed while a message is inside it; it lives until the message leaves.
  model::RefPtr<TWindowExtender> hold(this);
  const ScopedThreadDpiAwareness dpiAwareness;
  const WindowProcScope nesting(*this);
  bool handled = false;
  try {
    if (AnswerServiceQuery(wnd, message)) return;
    handled = BeforeMessage(message);
  } catch (...) {
    platform::RecordCallbackFailure("window_extender_messages: WindowProc");
  }
  {
    const AfterMessageScope after(*this, message, handled);
    if (!handled) CallOriginalWndProc(message);
  }
  if (consoleFollowed_ && ::IsWindow(wnd)) message.Result = handled ? 1 : 0;
}

// The service codes answered before anything else sees the message.
bool TWindowExtender::AnswerServiceQuery(HWND wnd, WindowMessage& message) {
  if (message.Msg != platform::ServiceMessage()) return false;
  switch (message.WParam) {
    case kSvcPing:
      message.Result = kSvcPingAnswer;
      return true;
    case kSvcSetMarkProperty:
      if (const ATOM atom = MarkPropertyAtom()) ::SetPropW(wnd, MAKEINTATOM(atom), reinterpret_cast<HANDLE>(1));
      message.Result = 1;
      return true;
    case kSvcRemoveMarkProperty:
      if (const ATOM atom = MarkPropertyAtom()) ::RemovePropW(wnd, MAKEINTATOM(atom));
      message.Result = 1;
      return true;
    default:
      return false;
  }
}

void TWindowExtender::CallOriginalWndProc(WindowMessage& message) {
  if (wnd_ && hook_) hook_->CallOldProc(hook_->Handle(), message);
}

bool TWindowExtender::BeforeMessage(WindowMessage& message) {
  platform::LastErrorGuard keepError;
  try {
    if (OwnBeforeMessage(message)) return true;
  } catch (...) {
    platform::RecordCallbackFailure("window_extender_messages: BeforeMessage");
  }
  bool handled = false;
  // By index: a handler may attach or detach handlers while it runs.
  for (std::size_t i = 0; i < messageHandlers_.size(); ++i) {
    IMessageHandler* handler = messageHandlers_[i].Get();
    try {
      if (handler->BeforeMessage(message)) handled = true;
    } catch (...) {
      platform::RecordCallbackFailure("window_extender_messages: BeforeMessage");
    }
  }
  return handled;
}

void TWindowExtender::AfterMessage(WindowMessage& message, bool beforeHandled) {
  platform::LastErrorGuard keepError;
  switch (message.Msg) {
    case WM_EXITSIZEMOVE:
      inSizeMoveLoop_ = false;
      break;
    case WM_DPICHANGED:
      dpiCache_.Clear();
      break;
    default:
      break;
  }
  for (std::size_t i = 0; i < messageHandlers_.size(); ++i) {
    IMessageHandler* handler = messageHandlers_[i].Get();
    try {
      handler->AfterMessage(message, beforeHandled);
    } catch (...) {
      platform::RecordCallbackFailure("window_extender_messages: AfterMessage");
    }
  }
  try {
    OwnAfterMessage(message);
  } catch (...) {
    platform::RecordCallbackFailure("window_extender_messages: AfterMessage");
  }
}

bool TWindowExtender::OwnBeforeMessage(WindowMessage& message) {
  switch (message.Msg) {
    case WM_DESTROY:
      tooltip_.reset();
      return false;
    case WM_SETTEXT:
      if (isApplicationFrameWindow_ && !frameIcons_.Initialized()) RefreshFrameIcons();
      return false;
    case WM_STYLECHANGED:
      if (windowClassName_ == L"IEFrame" && !QualifiesAsRuleWindow()) ReapplyRule();
      return false;
    case WM_ENTERSIZEMOVE:
      inSizeMoveLoop_ = true;
      return false;
    case WM_DPICHANGED:
      dpiCache_.BeforeDpiChanged(message.LParam);
      return false;
    default:
      break;
  }
  if (message.Msg != platform::ServiceMessage()) return false;
  switch (message.WParam) {
    case kSvcAttachComplete:
    case kSvcRefreshFrameIcons:
      RefreshFrameIcons();
      return false;
    case kSvcCloseRequest:
      CloseRequest(message);
      return true;
    case kSvcSetCursor:
      // An id that names no system cursor must not take the cursor away.
      if (HCURSOR cursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(message.LParam))) ::SetCursor(cursor);
      return false;
    case kSvcCloak:
      message.Result = wnd_ ? cloaking_.Cloak(wnd_) : 0;
      return true;
    case kSvcUncloak:
      message.Result = wnd_ ? cloaking_.Uncloak(wnd_) : 0;
      return true;
    default:
      return false;
  }
}

void TWindowExtender::CloseRequest(const WindowMessage& message) {
  if (nesting_.load() > 1 && detachTryCount_ < kMaxDetachTries) {
    // Inside a nested call the outer calls still use this extender: ask again from the queue.
    ++detachTryCount_;
    ::PostMessageW(wnd_, static_cast<UINT>(message.Msg), message.WParam, message.LParam);
    return;
  }
  if (model::RefPtr<rules::IWindowExtenderOwner> owner = owner_)
    owner->OnClose(this, static_cast<int>(static_cast<std::uint32_t>(message.LParam & 0xFFFFFFFF)));
}

void TWindowExtender::OwnAfterMessage(WindowMessage& message) {
  switch (message.Msg) {
    case WM_DESTROY:
      if (model::RefPtr<rules::IWindowExtenderOwner> owner = owner_) owner->OnClose(this, kErDestroyed);
      break;
    case WM_CLOSE:
      if (IsConsole() || (CurrentProcessFlags().consoleHost && OsFlags().win7OrLater))
        if (model::RefPtr<rules::IWindowExtenderOwner> owner = owner_) owner->OnClose(this, kErDestroyed);
      break;
    case WM_THEMECHANGED:
    case WM_DWMCOLORIZATIONCOLORCHANGED:
    case WM_SETTINGCHANGE:
      if (IsColorChangeMessage(static_cast<UINT>(message.Msg), message.LParam, !hook_ || hook_->UnicodeWindow()))
        RestartColorChangeTimer();
      break;
    case WM_STYLECHANGING:
      if (_wcsicmp(windowClassName_.c_str(), L"LaunchUnrealUWindowsClient") == 0)
        ::PostMessageW(wnd_, platform::ServiceMessage(), kSvcCheckHookLater, 0);
      break;
    default:
      break;
  }
}

void TWindowExtender::RestartColorChangeTimer() {
  if (!wnd_) return;
  if (!colorChange_) colorChange_ = std::make_unique<ColorChangeDebounce>(timerCollection_, wnd_, platform::ServiceMessage());
  colorChange_->Restart();
}

bool TWindowExtender::QualifiesAsRuleWindow() const {
  const LONG_PTR style = ::GetWindowLongPtrW(wnd_, GWL_STYLE);
  const LONG_PTR exStyle = ::GetWindowLongPtrW(wnd_, GWL_EXSTYLE);
  const bool tool = (exStyle & WS_EX_TOOLWINDOW) != 0;
  if (!((style != 0 && !(style & WS_CHILD)) || tool || IsMdiChild(wnd_))) return false;
  if (tool && ::GetParent(wnd_) == ::GetAncestor(wnd_, GA_PARENT)) return false;
  const std::wstring cls = ClassNameOf(wnd_);
  return cls != L"dlm_MessengerClientWindow" && cls != L"dlm_ConfigBuilder_MessengerClientWindow";
}

bool TWindowExtender::IsConsole() const { return consoleFollowed_; }

void TWindowExtender::OnMMCenterUpdate(TMMCenterUpdateType reason) {
  if (!wnd_) return;
  ::PostMessageW(wnd_, platform::ServiceMessage(),
                 reason == TMMCenterUpdateType::mmcutMonitorsOnly ? kSvcMonitorsOnly : kSvcMonitorsAllInfo, 0);
}

// ---------------------------------------------------------------------------------------
// Service window.

void TWindowExtender::ServiceProc(HWND wnd, WindowMessage& message) noexcept {
  model::RefPtr<TWindowExtender> hold(this);
  const ScopedThreadDpiAwareness dpiAwareness;
  try {
    if (wnd_ && timerCollection_.ProcessMessage(message)) return;
    message.Result = ::DefWindowProcA(wnd, static_cast<UINT>(message.Msg), message.WParam, message.LParam);
  } catch (...) {
    platform::RecordCallbackFailure("window_extender_messages: ServiceProc");
  }
}

// ---------------------------------------------------------------------------------------
// The hooks' view: non-subclassed windows and mouse messages reach the same path.

bool TWindowExtender::HookMessageView::BeforeMessage(entry::TMessageRecord& record) {
  if (!target_) return false;
  WindowMessage message{record.Msg, record.WParam, record.LParam, record.Result};
  bool handled = false;
  try {
    handled = target_->BeforeMessage(message);
  } catch (...) {
    platform::RecordCallbackFailure("window_extender_messages: BeforeMessage");
  }
  record.WParam = message.WParam;
  record.LParam = message.LParam;
  record.Result = message.Result;
  return handled;
}

void TWindowExtender::HookMessageView::AfterMessage(entry::TMessageRecord& record, bool flag) {
  if (!target_) return;
  WindowMessage message{record.Msg, record.WParam, record.LParam, record.Result};
  try {
    target_->AfterMessage(message, flag);
  } catch (...) {
    platform::RecordCallbackFailure("window_extender_messages: AfterMessage");
  }
  record.Result = message.Result;
}

entry::IMessageHandler* TWindowExtender::FindAction(const wchar_t* name) {
  if (!name || !actions_) return nullptr;
  model::RefPtr<IWindowPart> action = actions_->GetItemByName(name);
  model::RefPtr<IMessageHandler> handler = action.As<IMessageHandler>();
  if (!handler) return nullptr;
  // Borrowed for the caller's call; the action stays in the collection meanwhile.
  actionHandler_.Retarget(handler.Get());
  return &actionHandler_;
}

}  // namespace dl::extender
