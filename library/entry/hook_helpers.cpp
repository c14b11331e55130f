#include "library/entry/hook_helpers.h"

#include <cwchar>

#include "library/entry/entry_services.h"
#include "library/entry/registered_messages.h"
#include "library/entry/shared_messages.h"

namespace dl::entry {

bool HasClassName(HWND wnd, const wchar_t* className) noexcept {
  wchar_t name[256];
  const int n = ::GetClassNameW(wnd, name, 256);
  return n > 0 && std::wcscmp(name, className) == 0;
}

bool IsConsoleObserver(HWND wnd) noexcept { return wnd && HasClassName(wnd, kConsoleObserverClassName); }

HWND ConsoleRealWindow(HWND observer) noexcept {
  return reinterpret_cast<HWND>(::GetWindowLongPtrW(observer, GWLP_USERDATA));
}

bool IsMessageOnlyWindow(HWND wnd) noexcept {
  const ATOM messageAtom = Messages().messageClassAtom;
  if (!wnd || messageAtom == 0) return false;
  HWND parent = ::GetAncestor(wnd, GA_PARENT);
  return parent && ::GetClassWord(parent, GCW_ATOM) == messageAtom;
}

bool IsTopLevelApplicationWindow(HWND wnd) {
  auto test = Services().isTopLevelApplicationWindow.load(std::memory_order_acquire);
  return test && test(wnd);
}

bool ApplicationIsUnloading() {
  auto* app = Services().application.load(std::memory_order_acquire);
  return app && app->IsUnloading();
}

void ReloadIfServerReturned() {
  auto& services = Services();
  auto* app = services.application.load(std::memory_order_acquire);
  if (!app || !app->IsUnloading()) return;
  auto* messenger = services.messenger.load(std::memory_order_acquire);
  if (!messenger || !messenger->NeedRestart()) return;
  messenger->Restart();
  if (messenger->GetState() != -1) {
    app->OnReloading();
    InstallThreadDetachRoutine();
  }
}

void EnsureThreadHooked() {
  auto& services = Services();
  auto enabled = services.hookStubsEnabled.load(std::memory_order_acquire);
  auto* list = services.threadHookList.load(std::memory_order_acquire);
  if (enabled && list && enabled()) list->HookThread(::GetCurrentThreadId());
}

}  // namespace dl::entry
