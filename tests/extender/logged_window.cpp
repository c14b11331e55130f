#include "tests/extender/logged_window.h"

#include <algorithm>

namespace dl::test {
namespace {

LRESULT Record(HWND wnd, UINT msg) {
  if (auto* log = reinterpret_cast<WindowLog*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA))) log->messages.push_back(msg);
  return msg == WM_APP ? 0x600D : -1;
}

LRESULT CALLBACK LoggedProcW(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  const LRESULT r = Record(wnd, msg);
  if (msg == WM_APP) return r;
  return ::DefWindowProcW(wnd, msg, wp, lp);
}
LRESULT CALLBACK LoggedProcA(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  const LRESULT r = Record(wnd, msg);
  if (msg == WM_APP) return r;
  return ::DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace

int WindowLog::count(UINT msg) const { return static_cast<int>(std::count(messages.begin(), messages.end(), msg)); }

HWND CreateLoggedWindow(WindowLog* log, bool unicode, DWORD style) {
  HWND wnd;
  if (unicode) {
    static const ATOM cls = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = LoggedProcW;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
      wc.lpszClassName = L"DlTestLoggedW";
      return ::RegisterClassW(&wc);
    }();
    wnd = ::CreateWindowExW(0, MAKEINTATOM(cls), L"logged", style, 10, 10, 300, 200, nullptr, nullptr,
                            ::GetModuleHandleW(nullptr), nullptr);
  } else {
    static const ATOM cls = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = LoggedProcA;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = "DlTestLoggedA";
      return ::RegisterClassA(&wc);
    }();
    wnd = ::CreateWindowExA(0, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(cls)), "logged", style, 10, 10, 300, 200, nullptr, nullptr,
                            ::GetModuleHandleW(nullptr), nullptr);
  }
  ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(log));
  return wnd;
}

}  // namespace dl::test
