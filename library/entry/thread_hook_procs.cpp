#include "library/entry/thread_hook_procs.h"

#include <atomic>

#include "library/runtime/process_local_storage.h"
#include "library/extender/whook.h"
#include "platform/handles.h"
#include "platform/registered_messages.h"
#include "protocol/service_codes.h"

namespace dl::entry {
namespace {

constinit std::atomic<ThreadHookClient*> g_client{nullptr};

// A window that still carries a parked trampoline is being destroyed: tell the client, drop
// the property and, when the trampoline is still the window's procedure, have the get-message
// hook give it back to the pool once this message has unwound.
void ReleaseParkedTrampoline(HWND window, ThreadHookClient* client) {
  void* parked = extender::ParkedTrampolineOf(window);
  if (!parked) return;
  if (client) client->OnParkedTrampolineWindowDestroyed(window);
  (void)extender::RemoveParkedTrampolineProperty(window);
  const bool unicode = ::IsWindowUnicode(window) != FALSE;
  const LONG_PTR current =
      unicode ? ::GetWindowLongPtrW(window, GWLP_WNDPROC) : ::GetWindowLongPtrA(window, GWLP_WNDPROC);
  if (current == reinterpret_cast<LONG_PTR>(parked)) {
    ::PostThreadMessageW(::GetCurrentThreadId(), platform::ServiceMessage(), protocol::kSvcReleaseTrampoline,
                         reinterpret_cast<LPARAM>(parked));
  }
}

}  // namespace

void SetThreadHookClient(ThreadHookClient* client) noexcept { g_client.store(client); }
ThreadHookClient* GetThreadHookClient() noexcept { return g_client.load(std::memory_order_acquire); }

LRESULT CALLBACK CallWndProcHandler(int code, WPARAM wParam, LPARAM lParam) noexcept {
  StorageBusyScope busy;
  {
    platform::LastErrorGuard lastError;
    try {
      ThreadHookClient* client = GetThreadHookClient();
      if (client && code >= 0 && !client->PassThrough() && !client->IsLinkThread(::GetCurrentThreadId())) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (message && message->hwnd) client->OnCallWndProc(*message);
      }
    } catch (...) {
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CallWndProcRetHandler(int code, WPARAM wParam, LPARAM lParam) noexcept {
  StorageBusyScope busy;
  {
    platform::LastErrorGuard lastError;
    try {
      ThreadHookClient* client = GetThreadHookClient();
      const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
      const bool passThrough = client && (client->PassThrough() || client->IsLinkThread(::GetCurrentThreadId()));
      if (code >= 0 && message && message->hwnd && !passThrough) {
        if (message->message == WM_NCDESTROY) ReleaseParkedTrampoline(message->hwnd, client);
        if (client) client->OnCallWndProcRet(*message);
      }
    } catch (...) {
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK WindowEventProc(HWINEVENTHOOK, DWORD event, HWND window, LONG objectId, LONG childId, DWORD,
                              DWORD) noexcept {
  StorageBusyScope busy;
  platform::LastErrorGuard lastError;
  try {
    ThreadHookClient* client = GetThreadHookClient();
    if (!client || client->PassThrough()) return;
    if (objectId != 0 || childId != 0 || !::IsWindow(window)) return;
    if (::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) return;
    client->OnWindowEvent(event, window);
  } catch (...) {
  }
}

}  // namespace dl::entry
