#include "library/entry/thread_hook_client.h"

#include <cwchar>

#include "library/runtime/library_services.h"
#include "library/entry/hook_helpers.h"
#include "library/entry/process_gate.h"
#include "protocol/service_codes.h"
#include "library/runtime/shared_messages.h"
#include "library/extender/classification_atoms.h"
#include "library/extender/noninvasive_marks.h"
#include "library/rules/never_extended_classes.h"
#include "library/rules/window_marks.h"
#include "platform/callback_guard.h"

namespace dl::entry {
namespace {

using protocol::kSvcCaptionChanged;
using protocol::kSvcConsiderLater;
using protocol::kSvcConsiderWindow;
using protocol::kSvcUnregisterWindow;

// Classes whose position changes count only once they are done (menus, shell bars,
// some applications that move windows while building them).
constexpr std::wstring_view kAfterPositionClasses =
    L";DV2ControlHost;BaseBar;TSSHELLWND;StrongDC++;DC++;#32768;TNASTYNAGSCREEN;";

std::wstring ClassOf(HWND wnd) {
  wchar_t name[256];
  const int n = ::GetClassNameW(wnd, name, 256);
  return n > 0 ? std::wstring(name, static_cast<std::size_t>(n)) : std::wstring();
}

bool InList(std::wstring_view list, const std::wstring& name) {
  if (name.empty()) return false;
  std::wstring needle;
  needle.reserve(name.size() + 2);
  needle.append(L";").append(name).append(L";");
  return list.find(needle) != std::wstring_view::npos;
}

IProcessHook* Dispatcher() noexcept { return Services().processHook.load(std::memory_order_acquire); }

bool IsNoninvasive(HWND wnd) noexcept {
  return extender::IsMarkedNoninvasive(wnd, Messages().noninvasiveAtom);
}

IMessageHandler* HandlerOf(IProcessHook& hook, HWND wnd) {
  IWindowExtender* extender = hook.GetWindowExtender(wnd);
  return extender ? extender->GetMessageHandler() : nullptr;
}

void ServiceCommand(IProcessHook& hook, HWND wnd, WPARAM code, LPARAM arg) {
  if (IsConsoleObserver(wnd)) wnd = ConsoleRealWindow(wnd);
  if (code == kSvcConsiderWindow) {
    if (IsTopLevelApplicationWindow(wnd)) hook.ConsiderWindow(wnd, 0, Messages().service, 0);
  } else if (code == kSvcUnregisterWindow) {
    if (!hook.GetWindowExtender(wnd))
      hook.UnregisterWindow(wnd, static_cast<int>(static_cast<std::uint32_t>(arg & 0xFFFFFFFF)));
  }
}

void PositionChange(const CWPSTRUCT& m) {
  HWND wnd = m.hwnd;
  const std::wstring cls = ClassOf(wnd);
  if (cls == L"SHELLDLL_DefView") return;
  if (ProcessGate().shellViewCompat || cls == L"NUIDialog") {
    ::PostMessageW(wnd, Messages().service, kSvcConsiderLater, 0);
    return;
  }
  const bool afterOnly = InList(kAfterPositionClasses, cls);
  if ((m.message == WM_WINDOWPOSCHANGED) != afterOnly) return;
  IProcessHook* hook = Dispatcher();
  if (!hook) return;
  const bool observer = IsConsoleObserver(wnd);
  if (observer) wnd = ConsoleRealWindow(wnd);
  if (hook->WindowIsUnbinding(wnd)) return;
  if (!observer && !IsTopLevelApplicationWindow(wnd)) return;
  const auto* pos = reinterpret_cast<const WINDOWPOS*>(m.lParam);
  const UINT showing = pos ? (pos->flags & SWP_SHOWWINDOW) : 0;
  hook->ConsiderWindow(wnd, 0, m.message, showing);
}

class LibraryClient final : public ThreadHookClient {
 public:
  bool PassThrough() noexcept override { return ProcessGate().inert || ApplicationIsUnloadingSafe(); }

  bool IsLinkThread(DWORD threadId) noexcept override {
    auto* messenger = Services().messenger.load(std::memory_order_acquire);
    if (!messenger) return false;
    try {
      return threadId == messenger->GetClientThreadId() || threadId == messenger->GetServerThreadId();
    } catch (...) {
      return false;
    }
  }

  void OnCallWndProc(const CWPSTRUCT& m) noexcept override {
    try {
      const UINT service = Messages().service;
      if (service && m.message == service) {
        if (IProcessHook* hook = Dispatcher()) ServiceCommand(*hook, m.hwnd, m.wParam, m.lParam);
      } else if (m.message == WM_WINDOWPOSCHANGING || m.message == WM_WINDOWPOSCHANGED) {
        PositionChange(m);
      }
      if (IProcessHook* hook = Dispatcher(); hook && IsNoninvasive(m.hwnd)) {
        if (IMessageHandler* handler = HandlerOf(*hook, m.hwnd)) {
          TMessageRecord record{m.message, m.wParam, m.lParam, 0};
          handler->BeforeMessage(record);
        }
      }
    } catch (...) {
      platform::RecordCallbackFailure("thread_hook_client: OnCallWndProc");
    }
  }

  void OnCallWndProcRet(const CWPRETSTRUCT& m) noexcept override {
    try {
      IProcessHook* hook = Dispatcher();
      if (!hook) return;
      const UINT service = Messages().service;
      const bool observer = IsConsoleObserver(m.hwnd);
      const bool setText = m.message == WM_SETTEXT && (m.lResult != 0 || observer);
      const bool captionNotice = service && m.message == service && m.wParam == kSvcCaptionChanged;
      if (setText || captionNotice) {
        if (observer) {
          if (setText)
            ::PostMessageW(m.hwnd, service, kSvcCaptionChanged, 0);
          else
            hook->OnCaptionChanged(ConsoleRealWindow(m.hwnd), m.message, 0);
        } else {
          hook->OnCaptionChanged(m.hwnd, m.message, m.lParam);
        }
        return;
      }
      if (m.message == WM_NCDESTROY) {
        extender::ForgetNoninvasive(m.hwnd);
        // A window that goes takes its registration with it; otherwise its handle, reused
        // by a later window, would still count as registered.
        if (hook->IsWindowRegistered(m.hwnd) || hook->IsWindowExtended(m.hwnd))
          hook->UnregisterWindow(m.hwnd, 2);
        return;
      }
      if (IsNoninvasive(m.hwnd)) {
        if (IMessageHandler* handler = HandlerOf(*hook, m.hwnd)) {
          TMessageRecord record{m.message, m.wParam, m.lParam, m.lResult};
          handler->AfterMessage(record, true);
        }
      }
    } catch (...) {
      platform::RecordCallbackFailure("thread_hook_client: OnCallWndProcRet");
    }
  }

  void OnParkedTrampolineWindowDestroyed(HWND window) noexcept override {
    try {
      IProcessHook* hook = Dispatcher();
      if (hook && hook->IsWindowExtended(window))
        hook->UnregisterWindow(window, 2);
      else
        rules::RemoveWindowMarks(window);
    } catch (...) {
      platform::RecordCallbackFailure("thread_hook_client: OnParkedTrampolineWindowDestroyed");
    }
  }

  void OnWindowEvent(DWORD event, HWND window) noexcept override {
    try {
      if (extender::WindowHasClass(window, extender::KnownClass::kFloatingWindow) ||
          extender::WindowHasClass(window, extender::KnownClass::kToggleWindow))
        return;
      if (rules::IsNeverExtendedClass(ClassOf(window))) return;
      switch (event) {
        case EVENT_OBJECT_NAMECHANGE:
          if (IProcessHook* hook = Dispatcher()) hook->OnCaptionChanged(window, 0, 0);
          break;
        case EVENT_OBJECT_SHOW:
          // The get-message hook is where a reduced-hook process sees its windows.
          if (ProcessGate().reducedHook) ::PostMessageW(window, WM_NULL, 0, 0);
          break;
        default:
          break;
      }
    } catch (...) {
      platform::RecordCallbackFailure("thread_hook_client: OnWindowEvent");
    }
  }

 private:
  static bool ApplicationIsUnloadingSafe() noexcept {
    try {
      return ApplicationIsUnloading();
    } catch (...) {
      return true;
    }
  }
};

}  // namespace

ThreadHookClient& LibraryThreadHookClient() noexcept {
  static LibraryClient* client = new LibraryClient();
  return *client;
}

}  // namespace dl::entry
