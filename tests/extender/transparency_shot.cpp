// Shows a white window made 50 % transparent through the transparency service over a black
// background window, for a screenshot taken from outside. Argument: a folder (Windows form);
// writes "ready" there once both windows are shown and waits for "done" (at most 60 s).
//   background: (0,0)-(400,300) black; window: (100,100)-(300,200) white.
#include <windows.h>

#include <string>

#include "library/extender/window_transparency.h"
#include "tests/extender/services_test_support.h"

namespace {

HWND Popup(const wchar_t* className, int stockBrush, RECT rc) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(stockBrush));
  wc.lpszClassName = className;
  ::RegisterClassW(&wc);
  return ::CreateWindowExW(WS_EX_TOPMOST, className, L"", WS_POPUP | WS_VISIBLE, rc.left, rc.top, rc.right - rc.left,
                           rc.bottom - rc.top, nullptr, nullptr, wc.hInstance, nullptr);
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring folder = argv[1];
  HWND background = Popup(L"DlShotBackground", BLACK_BRUSH, RECT{0, 0, 400, 300});
  HWND window = Popup(L"DlShotWindow", WHITE_BRUSH, RECT{100, 100, 300, 200});
  if (!background || !window) return 3;
  dl::test::PropertyMap properties;
  dl::extender::InitializeTransparency(window, properties);
  if (!dl::extender::SetWindowTransparency(window, 50)) return 4;
  ::UpdateWindow(background);
  ::UpdateWindow(window);
  Pump();
  HANDLE ready = ::CreateFileW((folder + L"\\ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready == INVALID_HANDLE_VALUE) return 5;
  ::CloseHandle(ready);
  const ULONGLONG deadline = ::GetTickCount64() + 60000;
  while (!Exists(folder + L"\\done") && ::GetTickCount64() < deadline) {
    Pump();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  ::DestroyWindow(window);
  ::DestroyWindow(background);
  return 0;
}
