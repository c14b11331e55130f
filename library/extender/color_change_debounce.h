#pragma once
// Colour and theme changes arrive in bursts; the app-frame icons are refreshed once, 300 ms after
// the last change, by posting the window the service message with the refresh code.
#include <windows.h>

#include "library/extender/timer_collection.h"

namespace dl::extender {

inline constexpr UINT kColorChangeDelayMs = 300;

// WM_THEMECHANGED, WM_DWMCOLORIZATIONCOLORCHANGED, and WM_SETTINGCHANGE for "ImmersiveColorSet"
// (lParam text in the window's character set, compared without case). Windows 10 and later only.
[[nodiscard]] bool IsColorChangeMessage(UINT msg, LPARAM lParam, bool unicodeWindow) noexcept;

class ColorChangeDebounce {
 public:
  // The timer comes from the extender's collection on first use.
  ColorChangeDebounce(TimerCollection& timers, HWND window, UINT serviceMessage) noexcept
      : timers_(timers), window_(window), serviceMessage_(serviceMessage) {}
  ColorChangeDebounce(const ColorChangeDebounce&) = delete;
  ColorChangeDebounce& operator=(const ColorChangeDebounce&) = delete;

  // (Re)starts the delay; false when no timer could be had.
  bool Restart() noexcept;
  // Restarts for a colour-change message; true when it was one.
  bool OnMessage(UINT msg, LPARAM lParam, bool unicodeWindow) noexcept;
  // A refresh is on its way.
  [[nodiscard]] bool Pending() const noexcept { return timer_ && timer_->Enabled(); }

 private:
  TimerCollection& timers_;
  HWND window_;
  UINT serviceMessage_;
  Timer* timer_ = nullptr;
};

}  // namespace dl::extender
