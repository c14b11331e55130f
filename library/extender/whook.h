#pragma once
// Subclassing of a window through a trampoline. Unhooking never restores the window procedure
// (something may have subclassed the window after us): the trampoline stays in the chain as a
// transparent forwarder, parked in a window property, and a later hook of the same window, by
// this or a later copy of the library, takes it back.
#include <windows.h>

#include "library/extender/wndproc_trampoline.h"

namespace dl::extender {

// Global atoms of the two window properties, added once per library copy.
[[nodiscard]] ATOM ParkedTrampolineAtom() noexcept;  // "{76CC9A51-21FD-4A2A-83A1-8575B5359A9F}"
[[nodiscard]] ATOM RehookedAtom() noexcept;          // protocol::kRehookedAtomName

// Whether proc is worth calling: a code address that can be read, or a handle that user32
// hands out for procedures of the other character set (CallWindowProc resolves those).
[[nodiscard]] bool IsCallableWindowProc(WNDPROC proc) noexcept;
// Whether proc is committed executable memory of this process rather than a user32 handle.
[[nodiscard]] bool IsPlainCodeAddress(WNDPROC proc) noexcept;

// The trampoline parked in a window's default property, or null. Answers null at once, without
// asking for the property, while no trampoline of the process is parked there.
[[nodiscard]] void* ParkedTrampolineOf(HWND window) noexcept;
// Removes that property, keeping the process's count; returns the trampoline it held, or null.
void* RemoveParkedTrampolineProperty(HWND window) noexcept;

class WHook {
 public:
  // Hooks at once. Zero atoms select the defaults.
  WHook(HWND window, WndMethod method, ATOM objectInstancePropId = 0, ATOM rehookedPropId = 0) noexcept;
  ~WHook();
  WHook(const WHook&) = delete;
  WHook& operator=(const WHook&) = delete;

  void HookWindow() noexcept;
  void UnhookWindow() noexcept;
  // Passes the message on to the procedure that was current before the hook. What that
  // procedure throws passes on to the window procedure's caller.
  void CallOldProc(HWND window, WindowMessage& message);
  void RehookWindow(bool connect) noexcept;
  // For a window whose chain no longer reaches our trampoline: a new one in front. The old one
  // may still be called by whatever subclassed the window above it, so it stays, forwarding to
  // the procedure it passed messages on to, until the window is gone.
  void RehookWindowFromScratch() noexcept;

  [[nodiscard]] bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled) noexcept {
    if (enabled) HookWindow();
    else UnhookWindow();
  }
  [[nodiscard]] HWND Handle() const noexcept { return handle_; }
  [[nodiscard]] void* Trampoline() const noexcept { return newWndProc_; }
  [[nodiscard]] WNDPROC OldWndProc() const noexcept { return oldWndProc_; }
  [[nodiscard]] bool UnicodeWindow() const noexcept { return unicodeWindow_; }

 private:
  [[nodiscard]] WNDPROC ValidOldProc() const noexcept;
  [[nodiscard]] bool CountsParking() const noexcept { return objectInstancePropId_ == ParkedTrampolineAtom(); }
  void ParkInProperty() noexcept;
  void* RemoveParkedProperty() noexcept;

  HWND handle_;
  WNDPROC oldWndProc_ = nullptr;
  bool oldProcIsCode_ = false;  // code of this process, not a handle: called without CallWindowProc
  void* newWndProc_ = nullptr;
  void* retiredWndProc_ = nullptr;  // left in forwarder form by RehookWindowFromScratch
  WndMethod wndProc_;
  bool enabled_ = false;
  bool unicodeWindow_;
  ATOM objectInstancePropId_;
  ATOM rehookedPropId_;
};

}  // namespace dl::extender
