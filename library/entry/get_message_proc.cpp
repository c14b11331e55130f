// The get-message hook: runs for every message any GUI thread of the desktop retrieves.
// The common path is kept short: a comparison with the service message, a few flag tests,
// the thread-hook lookup and the next hook.
#include <atomic>

#include "library/runtime/library_services.h"
#include "library/entry/global_hook_procs.h"
#include "library/entry/hook_helpers.h"
#include "library/extender/classification_atoms.h"
#include "library/extender/classification_windows.h"
#include "library/extender/noninvasive_marks.h"
#include "library/entry/noninvasive_records.h"
#include "library/entry/process_gate.h"
#include "library/runtime/process_local_storage.h"
#include "protocol/service_codes.h"
#include "library/entry/service_commands.h"
#include "library/runtime/shared_messages.h"
#include "platform/handles.h"

namespace dl::entry {
namespace {

enum class Outcome { kPassOn, kSwallow };

constinit std::atomic<HWND> g_rawInputWindow{nullptr};

bool IsOwnServiceThread() {
  auto* messenger = Services().messenger.load(std::memory_order_acquire);
  if (!messenger) return false;
  const DWORD current = ::GetCurrentThreadId();
  return current == messenger->GetClientThreadId() || current == messenger->GetServerThreadId();
}

void ResumeMessengerIfCreated() {
  auto& services = Services();
  if (!services.messengerResumeWanted.load(std::memory_order_relaxed)) return;
  if (auto* internal = services.messengerInternal.load(std::memory_order_acquire)) internal->ResumeThread();
}

// Reduced-hook processes have no window-procedure hooks: the queue is where windows are seen.
void ReducedProcessStep(IProcessHook& hook, const MSG& msg) {
  const UINT service = Messages().service;
  const bool observer = IsConsoleObserver(msg.hwnd);
  if (msg.message == service && msg.wParam == protocol::kSvcUnregisterWindow) {
    const int kind = static_cast<int>(msg.lParam);
    if (observer)
      hook.UnregisterWindow(ConsoleRealWindow(msg.hwnd), kind);
    else if (!hook.GetWindowExtender(msg.hwnd))
      hook.UnregisterWindow(msg.hwnd, kind);
    return;
  }
  HWND wnd = msg.hwnd;
  if (observer) {
    wnd = ConsoleRealWindow(msg.hwnd);
    if (!::IsWindow(wnd)) return;
  }
  if (!hook.WindowIsUnbinding(wnd) && (observer || IsTopLevelApplicationWindow(wnd)))
    hook.ConsiderWindow(wnd, 0, msg.message, 0);
}

// Windows extended without subclassing see their messages here: BeforeMessage now, and
// AfterMessage once the application has dispatched the message (through a posted copy).
Outcome NoninvasiveStep(IProcessHook& hook, MSG& msg) {
  const SharedMessages& messages = Messages();
  if (!extender::IsMarkedNoninvasive(msg.hwnd, messages.noninvasiveAtom)) return Outcome::kPassOn;
  const UINT m = msg.message;
  if (!(m < 0xC000 || m == messages.service || m == messages.taskbarCreated || m == messages.tray))
    return Outcome::kPassOn;
  IWindowExtender* extender = hook.GetWindowExtender(msg.hwnd);
  IMessageHandler* handler = extender ? extender->GetMessageHandler() : nullptr;
  if (!handler) return Outcome::kPassOn;

  if (m == messages.service && msg.wParam == protocol::kSvcNoninvasiveAfter) {
    // Only a record this library copy saved is accepted; anything else is ignored.
    if (SavedRecord* saved = TakeRecord(msg.lParam)) {
      struct Free {
        SavedRecord* p;
        ~Free() { FreeRecord(p); }
      } owner{saved};
      handler->AfterMessage(RecordOf(saved), HandledFlagOf(saved));
    }
    return Outcome::kPassOn;
  }

  TMessageRecord record{m, msg.wParam, msg.lParam, 0};
  const bool handled = handler->BeforeMessage(record);
  if (handled) msg.message = WM_NULL;
  SavedRecord* saved = SaveRecord(record, handled);
  if (!::PostMessageW(msg.hwnd, messages.service, protocol::kSvcNoninvasiveAfter, reinterpret_cast<LPARAM>(saved))) {
    // Nobody will bring the copy back.
    if (SavedRecord* back = TakeRecord(reinterpret_cast<LPARAM>(saved))) FreeRecord(back);
  }
  return Outcome::kPassOn;
}

bool IsButtonUp(UINT m) {
  switch (m) {
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONUP:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      return true;
    default:
      return false;
  }
}

// Mouse messages reach the extender of the frame window, which may claim them (caption buttons).
void MouseStep(IProcessHook& hook, MSG& msg) {
  const UINT m = msg.message;
  const bool client = m > WM_MOUSEMOVE && m < WM_MOUSEWHEEL;
  const bool nonClient = m > WM_NCMOUSEMOVE && m < 0xAA;
  if (!client && !nonClient) return;
  auto findFrame = Services().findFrameWindow.load(std::memory_order_acquire);
  HWND frame = findFrame ? findFrame(msg.hwnd) : nullptr;
  if (!frame) return;
  // The extender lookup stays in the process; the placement is read only for extended frames.
  IWindowExtender* extender = hook.GetWindowExtender(frame);
  IMessageHandler* handler = extender ? extender->GetMessageHandler() : nullptr;
  if (!handler) return;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (::GetWindowPlacement(frame, &placement) && placement.showCmd == SW_SHOWMINIMIZED) return;
  TMessageRecord record{m, msg.wParam, msg.lParam, 0};
  if (client) {
    POINT pt = msg.pt;
    ::ScreenToClient(frame, &pt);
    record.LParam = static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y))));
  }
  if (handler->BeforeMessage(record)) {
    if (IsButtonUp(m)) ::ReleaseCapture();
    msg.message = WM_NULL;
  }
}

void RawInputStep(MSG& msg) {
  if (msg.message != WM_INPUT || (msg.wParam & 0xFF) != 0 || !extender::HasClassName(msg.hwnd, L"DIEmWin")) return;
  g_rawInputWindow.store(msg.hwnd, std::memory_order_release);
  auto recognise = Services().recogniseHotKeyInput.load(std::memory_order_acquire);
  if (recognise && recognise(msg.hwnd, reinterpret_cast<HRAWINPUT>(msg.lParam))) msg.message = WM_NULL;
}

void DesktopDoubleClickStep(const MSG& msg) {
  if (!ProcessGate().dopusRuntime) return;
  if (msg.message != WM_LBUTTONDBLCLK && !(msg.message == WM_NULL && msg.wParam == 0)) return;
  if (!extender::HasClassName(msg.hwnd, L"dopus.desktopdblclk")) return;
  if (msg.message == WM_LBUTTONDBLCLK) {
    if (auto handle = Services().desktopDoubleClick.load(std::memory_order_acquire)) handle(msg.hwnd);
  } else {
    ::PostMessageW(msg.hwnd, WM_NULL, 1, 0);
  }
}

Outcome Work(int code, WPARAM removal, MSG& msg) {
  const SharedMessages& messages = Messages();
  // A negative code must go to the next hook untouched.
  if (code >= 0 && msg.message == messages.service && messages.service != 0) {
    if (HandleServiceCommand(msg) == ServiceOutcome::kSwallow) return Outcome::kSwallow;
  }

  ReloadIfServerReturned();
  if (ApplicationIsUnloading() || ProcessGate().inert || IsOwnServiceThread()) return Outcome::kPassOn;
  ResumeMessengerIfCreated();
  const bool handshakeRelease = msg.message == messages.handshake && messages.handshake != 0 && msg.wParam == 3;
  if (msg.message != WM_QUIT && !handshakeRelease) EnsureThreadHooked();
  if (code < 0 || !msg.hwnd) return Outcome::kPassOn;
  if (extender::IsMessageOnlyWindow(msg.hwnd)) return Outcome::kPassOn;

  auto* hook = Services().processHook.load(std::memory_order_acquire);
  if (hook && ProcessGate().reducedHook) ReducedProcessStep(*hook, msg);

  if (removal & PM_REMOVE) {
    if (hook) {
      NoninvasiveStep(*hook, msg);
      const UINT before = msg.message;
      MouseStep(*hook, msg);
      if (before != msg.message) return Outcome::kPassOn;
    }
    RawInputStep(msg);
    DesktopDoubleClickStep(msg);
  }
  return Outcome::kPassOn;
}

}  // namespace

LRESULT CALLBACK GetMessageProc(int code, WPARAM removal, LPARAM message) noexcept {
  StorageBusyScope busy;
  platform::LastErrorGuard lastError;
  auto* msg = reinterpret_cast<MSG*>(message);
  if (msg) {
    try {
      if (Work(code, removal, *msg) == Outcome::kSwallow) {
        msg->message = 0;
        msg->wParam = 0;
        msg->lParam = 0;
        return 0;
      }
    } catch (...) {
      // Our failure must not change what the application receives.
    }
  }
  return ::CallNextHookEx(nullptr, code, removal, message);
}

}  // namespace dl::entry
