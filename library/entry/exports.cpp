// The two exports the host looks up by name. The hook handles are only meaningful in the
// host's process; they are plain values because the host removes them explicitly.
#include <windows.h>

#include <atomic>

#include "library/entry/global_hook_procs.h"
#include "library/entry/library_init.h"

namespace {
constinit std::atomic<HHOOK> g_getMessageHook{nullptr};
constinit std::atomic<HHOOK> g_shellHook{nullptr};

// The exports answer true with all bits set.
constexpr BOOL kTrue = -1;

// Installs the hook unless this copy holds it already (a second call must not lose a handle).
void InstallIfMissing(std::atomic<HHOOK>& slot, int idHook, HOOKPROC proc) noexcept {
  if (slot.load()) return;
  HHOOK hook = ::SetWindowsHookExW(idHook, proc, dl::entry::LibraryInstance(), 0);
  if (!hook) return;
  HHOOK expected = nullptr;
  if (!slot.compare_exchange_strong(expected, hook)) ::UnhookWindowsHookEx(hook);
}

bool Uninstall(std::atomic<HHOOK>& slot) noexcept {
  HHOOK hook = slot.exchange(nullptr);
  return !hook || ::UnhookWindowsHookEx(hook);
}
}  // namespace

extern "C" BOOL WINAPI InstallMainHooks() noexcept {
  try {
    InstallIfMissing(g_getMessageHook, WH_GETMESSAGE, dl::entry::GetMessageProc);
    InstallIfMissing(g_shellHook, WH_SHELL, dl::entry::ShellProc);
    return (g_getMessageHook.load() || g_shellHook.load()) ? kTrue : FALSE;
  } catch (...) {
    return FALSE;
  }
}

extern "C" BOOL WINAPI UninstallMainHooks() noexcept {
  try {
    const bool shellRemoved = Uninstall(g_shellHook);
    const bool getMessageRemoved = Uninstall(g_getMessageHook);
    return shellRemoved && getMessageRemoved ? kTrue : FALSE;
  } catch (...) {
    return FALSE;
  }
}
