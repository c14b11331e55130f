#pragma once
// The per-thread hook procedures: WH_CALLWNDPROC and WH_CALLWNDPROCRET (reached through the
// stubs) and the in-context window-event procedure. They count themselves in and out, never
// let an exception out, and always pass the call on.
#include <windows.h>

namespace dl::entry {

// What the procedures hand on to the rest of the library (the rule dispatcher, extenders and
// the messenger client). Calls arrive on the thread the message or event belongs to. While
// no client is set, the procedures only do their own bookkeeping and pass on.
class ThreadHookClient {
 public:
  // Inert process, or the application is unloading: nothing to do at all.
  virtual bool PassThrough() noexcept = 0;
  // The messenger client's own thread or the main program's server thread.
  virtual bool IsLinkThread(DWORD threadId) noexcept = 0;
  virtual void OnCallWndProc(const CWPSTRUCT& message) noexcept = 0;
  virtual void OnCallWndProcRet(const CWPRETSTRUCT& message) noexcept = 0;
  // WM_NCDESTROY of a window that carries a parked window-procedure trampoline.
  virtual void OnParkedTrampolineWindowDestroyed(HWND window) noexcept = 0;
  // A top-level window event that passed the procedure's own filters.
  virtual void OnWindowEvent(DWORD event, HWND window) noexcept = 0;

 protected:
  ~ThreadHookClient() = default;
};

void SetThreadHookClient(ThreadHookClient* client) noexcept;
[[nodiscard]] ThreadHookClient* GetThreadHookClient() noexcept;

LRESULT CALLBACK CallWndProcHandler(int code, WPARAM wParam, LPARAM lParam) noexcept;
LRESULT CALLBACK CallWndProcRetHandler(int code, WPARAM wParam, LPARAM lParam) noexcept;
void CALLBACK WindowEventProc(HWINEVENTHOOK hook, DWORD event, HWND window, LONG objectId, LONG childId,
                              DWORD eventThread, DWORD eventTime) noexcept;


}  // namespace dl::entry
