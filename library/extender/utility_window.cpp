#include "library/extender/utility_window.h"

#include <cstring>

#include "platform/current_module.h"

namespace dl::extender {

namespace {

bool EnsureClass(const char* className, bool defaultClass) noexcept {
  HMODULE module = platform::CurrentModule();
  const WNDPROC defProc = DefaultWindowProc(false);
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  const bool registered = ::GetClassInfoExA(module, className, &existing) != FALSE;
  if (registered && existing.lpfnWndProc == defProc) return true;
  if (registered) ::UnregisterClassA(className, module);

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = defProc;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = module;
  wc.hCursor = defaultClass ? ::LoadCursorW(nullptr, IDC_ARROW) : nullptr;
  wc.lpszClassName = className;
  // Fails harmlessly when windows of an earlier registration still exist: those are reused.
  return ::RegisterClassExA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HWND AllocateUtilityWindow(WndMethod method, HWND parent, const char* className, DWORD style,
                           DWORD exStyle) noexcept {
  const bool defaultClass = className == nullptr || *className == 0;
  const char* name = defaultClass ? kDefaultUtilityClassName : className;
  EnsureClass(name, defaultClass);
  HWND window = ::CreateWindowExA(exStyle, name, "", style, 0, 0, 0, 0, parent, nullptr, platform::CurrentModule(), nullptr);
  if (!window || !method) return window;
  void* trampoline = AllocWndProcTrampoline(method);
  if (!trampoline) {
    ::DestroyWindow(window);
    return nullptr;
  }
  ::SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(trampoline));
  ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(trampoline));
  return window;
}

void DeallocateUtilityWindow(HWND& window) noexcept {
  const HWND wnd = window;
  window = nullptr;
  if (!::IsWindow(wnd)) return;
  void* trampoline = reinterpret_cast<void*>(::SetWindowLongPtrA(wnd, 0, 0));
  if (!::DestroyWindow(wnd) && ::IsWindow(wnd)) {
    // Only the owning thread may destroy it: make sure nothing reaches the method any more,
    // then let the owner close it.
    ::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefaultWindowProc(false)));
    ::SendNotifyMessageA(wnd, WM_CLOSE, 0, 0);
  }
  FreeWndProcTrampoline(trampoline);
}

}  // namespace dl::extender
