#pragma once
// The DPI values of a window and its monitor, with the system's answers where it has them and
// the system DPI where it has not; the per-window cache the extender keeps; and the thread DPI
// awareness switch around message processing in the processes that need it.
#include <windows.h>

namespace dl::extender {

// The screen's logical pixels per inch, read once per process.
[[nodiscard]] UINT SystemDpi() noexcept;
// Effective DPI of the monitor on Windows 8.1 and later, else (or on failure) the system DPI.
[[nodiscard]] UINT MonitorDpi(HMONITOR monitor) noexcept;
[[nodiscard]] UINT MonitorDpiAt(POINT point) noexcept;
// Uncached: the window's own DPI on Windows 10 and later, else the system DPI.
[[nodiscard]] UINT QueryWindowDpi(HWND window) noexcept;
// Uncached: the system DPI, or the window's DPI on Windows 10 and later for app-frame windows and
// windows whose non-client area the system scales.
[[nodiscard]] UINT QueryWindowNonClientDpi(HWND window, bool applicationFrameWindow) noexcept;

class WindowDpiCache {
 public:
  [[nodiscard]] UINT GetWindowDPI(HWND window) noexcept;
  [[nodiscard]] UINT GetWindowNonClientDPI(HWND window, bool applicationFrameWindow) noexcept;
  [[nodiscard]] UINT CachedWindowDpi() const noexcept { return windowDpi_; }
  [[nodiscard]] UINT CachedWindowNonClientDpi() const noexcept { return windowNonClientDpi_; }
  void Clear() noexcept { windowDpi_ = windowNonClientDpi_ = 0; }

  void SetTargetRectForDPIChange(const RECT& rc) noexcept {
    targetRect_ = rc;
    targetRectValid_ = true;
  }
  void ResetTargetRectForDPIChange() noexcept { targetRectValid_ = false; }
  [[nodiscard]] bool HasTargetRect() const noexcept { return targetRectValid_; }

  // Before the window sees WM_DPICHANGED: the stored rectangle replaces the suggested one.
  void BeforeDpiChanged(LPARAM suggestedRect) const noexcept;
  // After any message has been processed: WM_DPICHANGED forgets the cached values.
  void AfterMessage(UINT msg) noexcept {
    if (msg == WM_DPICHANGED) Clear();
  }

 private:
  UINT windowDpi_ = 0;
  UINT windowNonClientDpi_ = 0;
  RECT targetRect_{};
  bool targetRectValid_ = false;
};

// Decided once per process.
[[nodiscard]] bool ProcessUsesThreadDpiAwareness() noexcept;

// Switches the thread to per-monitor awareness version 2 for its lifetime, in the processes that
// use the switch, and restores the previous context.
class ScopedThreadDpiAwareness {
 public:
  ScopedThreadDpiAwareness() noexcept;
  // For tests and callers that decided themselves.
  explicit ScopedThreadDpiAwareness(bool use) noexcept;
  ~ScopedThreadDpiAwareness();
  ScopedThreadDpiAwareness(const ScopedThreadDpiAwareness&) = delete;
  ScopedThreadDpiAwareness& operator=(const ScopedThreadDpiAwareness&) = delete;
  [[nodiscard]] bool Switched() const noexcept { return previous_ != nullptr; }

 private:
  HANDLE previous_ = nullptr;
};

}  // namespace dl::extender
