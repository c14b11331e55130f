// The baseline of the process-start rounds: a hook library that does nothing but pass on.
#include <windows.h>

extern "C" LRESULT CALLBACK BareGetMessageProc(int code, WPARAM wParam, LPARAM lParam) {
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
