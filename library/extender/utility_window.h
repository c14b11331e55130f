#pragma once
// Hidden helper windows (service windows, messenger and dispatcher windows, floating buttons)
// whose procedure is a method called through a window-procedure trampoline.
#include <windows.h>

#include "library/extender/wndproc_trampoline.h"
#include "protocol/window_class_names.h"

namespace dl::extender {

inline constexpr const char* kDefaultUtilityClassName = protocol::kUtilityWindowClass.narrow;

// Creates a window of the (ANSI) class, registered for this library copy with DefWindowProcA and
// 8 bytes of window memory; with a method, its trampoline becomes the window procedure and is
// kept in window long 0. Null when the window cannot be created.
[[nodiscard]] HWND AllocateUtilityWindow(WndMethod method, HWND parent, const char* className = nullptr,
                                         DWORD style = 0, DWORD exStyle = 0) noexcept;

// Destroys the window and frees its trampoline; clears the caller's handle first. From a thread
// that does not own the window, the window gets the default procedure and is asked to close.
void DeallocateUtilityWindow(HWND& window) noexcept;

// Owns a utility window: deallocated (window and trampoline) when reset or at the end.
class UniqueUtilityWindow {
 public:
  UniqueUtilityWindow() noexcept = default;
  explicit UniqueUtilityWindow(HWND window) noexcept : window_(window) {}
  UniqueUtilityWindow(const UniqueUtilityWindow&) = delete;
  UniqueUtilityWindow& operator=(const UniqueUtilityWindow&) = delete;
  ~UniqueUtilityWindow() { reset(); }

  void reset(HWND window = nullptr) noexcept {
    HWND old = window_;
    window_ = window;
    if (old) DeallocateUtilityWindow(old);
  }
  [[nodiscard]] HWND get() const noexcept { return window_; }
  explicit operator bool() const noexcept { return window_ != nullptr; }

 private:
  HWND window_ = nullptr;
};

}  // namespace dl::extender
