#pragma once
// Small helpers for tests on real windows: class registration, window creation,
// pumping with a deadline.
#include <windows.h>

#include <chrono>
#include <string>

#include "platform/handles.h"

namespace dl::test {

inline HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

// Registers a window class for the life of the object.
class ScopedClass {
 public:
  explicit ScopedClass(std::wstring name, WNDPROC proc = ::DefWindowProcW) : name_(std::move(name)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = Instance();
    wc.lpszClassName = name_.c_str();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    atom_ = ::RegisterClassW(&wc);
  }
  ScopedClass(const ScopedClass&) = delete;
  ScopedClass& operator=(const ScopedClass&) = delete;
  ~ScopedClass() {
    if (atom_) ::UnregisterClassW(name_.c_str(), Instance());
  }
  [[nodiscard]] ATOM atom() const { return atom_; }
  [[nodiscard]] const wchar_t* name() const { return name_.c_str(); }

 private:
  std::wstring name_;
  ATOM atom_ = 0;
};

inline platform::UniqueWindow MakeWindow(const wchar_t* cls, DWORD style, DWORD exStyle = 0, HWND parent = nullptr,
                                         const wchar_t* caption = L"", RECT r = {100, 100, 500, 400}) {
  return platform::UniqueWindow(::CreateWindowExW(exStyle, cls, caption, style, r.left, r.top, r.right - r.left,
                                                  r.bottom - r.top, parent, nullptr, Instance(), nullptr));
}

// Pumps this thread's messages until `done` holds or the deadline passes.
template <typename Pred>
bool PumpUntil(Pred done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

}  // namespace dl::test
