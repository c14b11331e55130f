#include "library/entry/hook_helpers.h"

#include "library/runtime/library_services.h"
#include "library/extender/classification_atoms.h"

namespace dl::entry {

bool IsConsoleObserver(HWND wnd) noexcept {
  return wnd && extender::WindowHasClass(wnd, extender::KnownClass::kConsoleObserver);
}

HWND ConsoleRealWindow(HWND observer) noexcept {
  return reinterpret_cast<HWND>(::GetWindowLongPtrW(observer, GWLP_USERDATA));
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
