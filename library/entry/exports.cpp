// The two exports the host looks up by name.
#include <windows.h>

#include "library/entry/library_init.h"

namespace {
HHOOK g_getMessageHook = nullptr;
HHOOK g_shellHook = nullptr;

LRESULT CALLBACK GetMessageProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
LRESULT CALLBACK ShellProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

extern "C" BOOL WINAPI InstallMainHooks() noexcept {
  HINSTANCE instance = dl::entry::LibraryInstance();
  if (!g_getMessageHook) g_getMessageHook = ::SetWindowsHookExW(WH_GETMESSAGE, GetMessageProc, instance, 0);
  if (!g_shellHook) g_shellHook = ::SetWindowsHookExW(WH_SHELL, ShellProc, instance, 0);
  return g_getMessageHook && g_shellHook;
}

extern "C" BOOL WINAPI UninstallMainHooks() noexcept {
  if (g_getMessageHook) ::UnhookWindowsHookEx(g_getMessageHook);
  if (g_shellHook) ::UnhookWindowsHookEx(g_shellHook);
  g_getMessageHook = g_shellHook = nullptr;
  return TRUE;
}
