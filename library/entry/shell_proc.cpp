// The shell hook: window creation, activation and redraw notices of the whole desktop.
#include "library/runtime/library_services.h"
#include "library/entry/global_hook_procs.h"
#include "library/entry/hook_helpers.h"
#include "library/entry/process_gate.h"
#include "library/runtime/process_local_storage.h"
#include "platform/handles.h"

namespace dl::entry {

LRESULT CALLBACK ShellProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  StorageBusyScope busy;
  platform::LastErrorGuard lastError;
  try {
    ReloadIfServerReturned();
    if (!ApplicationIsUnloading() && !ProcessGate().inert) {
      HWND wnd = reinterpret_cast<HWND>(wParam);
      if (code >= 1 && ::IsWindow(wnd)) {
        EnsureThreadHooked();
        if (code == HSHELL_REDRAW) {
          if (auto* hook = Services().processHook.load(std::memory_order_acquire)) hook->OnCaptionChanged(wnd, 0, 0);
        }
      }
    }
  } catch (...) {
    // Never let our failure reach the application.
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace dl::entry
