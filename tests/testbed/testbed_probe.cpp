// Shows a window, then exits with success ("ok"), with failure ("fail") or never ("hang");
// "summary" prints a test runner's closing line before a clean exit.
#include <windows.h>

#include <cstdio>

#include <string>

int wmain(int argc, wchar_t** argv) {
  std::wstring mode = argc > 1 ? argv[1] : L"ok";
  HWND wnd = ::CreateWindowExW(0, L"STATIC", L"testbed probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 150,
                               nullptr, nullptr, nullptr, nullptr);
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  if (mode == L"hang") {
    for (;;) ::Sleep(1000);
  }
  ::DestroyWindow(wnd);
  if (mode == L"summary") std::printf("[  PASSED  ] 1 test.\n");
  return mode == L"fail" ? 3 : 0;
}
