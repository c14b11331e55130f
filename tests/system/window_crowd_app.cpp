// A test application with many ordinary top-level windows ("DlCrowdWindow"), each painting
// itself and closing on request; the process ends when the last one is gone.
#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace {

int g_open = 0;

LRESULT CALLBACK CrowdProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(wnd, &ps);
      ::FillRect(dc, &ps.rcPaint, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
      ::EndPaint(wnd, &ps);
      return 0;
    }
    case WM_APP:
      return 0x600D;
    case WM_DESTROY:
      if (--g_open == 0) ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(wnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  const int count = std::max(1, _wtoi(commandLine));
  WNDCLASSW wc{};
  wc.lpfnWndProc = CrowdProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"DlCrowdWindow";
  if (!::RegisterClassW(&wc)) return 2;
  for (int i = 0; i < count; ++i) {
    wchar_t caption[32];
    wsprintfW(caption, L"Crowd %d", i);
    if (::CreateWindowExW(0, L"DlCrowdWindow", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20 + (i % 20) * 8,
                          20 + (i / 20) * 8, 160, 90, nullptr, nullptr, instance, nullptr))
      ++g_open;
  }
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
