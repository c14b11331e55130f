#pragma once
// Cloaking and uncloaking a window on request of the main program (service codes 61 and 62,
// handled on the window's own thread: only the owning process may cloak its windows), and
// uncloaking at detach what this extender cloaked.
#include <windows.h>

namespace dl::extender {

class WindowCloaking {
 public:
  // The service message's Result: 1 on success, 0 otherwise (also where the system has no DWM
  // attributes).
  LRESULT Cloak(HWND window) noexcept;
  LRESULT Uncloak(HWND window) noexcept;
  // At detach: uncloaks when this extender cloaked the window and it is still cloaked by its
  // application.
  void UncloakAtDetach(HWND window) noexcept;
  [[nodiscard]] bool WindowWasCloaked() const noexcept { return windowWasCloaked_; }

 private:
  bool windowWasCloaked_ = false;
};

}  // namespace dl::extender
