#pragma once
// A window class registered for the life of the object, for tests on real windows.
#include <windows.h>

#include <string>
#include <utility>

namespace dl::test {

inline HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

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

}  // namespace dl::test
