#include "library/extender/color_change_debounce.h"

#include "library/extender/process_flags.h"
#include "protocol/service_codes.h"

namespace dl::extender {

bool IsColorChangeMessage(UINT msg, LPARAM lParam, bool unicodeWindow) noexcept {
  if (!OsFlags().win10OrLater) return false;
  if (msg == WM_THEMECHANGED || msg == WM_DWMCOLORIZATIONCOLORCHANGED) return true;
  if (msg != WM_SETTINGCHANGE || lParam == 0) return false;
  if (unicodeWindow) return ::lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"ImmersiveColorSet") == 0;
  return ::lstrcmpiA(reinterpret_cast<const char*>(lParam), "ImmersiveColorSet") == 0;
}

bool ColorChangeDebounce::Restart() noexcept {
  try {
    if (!timer_) {
      timer_ = timers_.CreateNewTimer();
      if (!timer_) return false;
      timer_->SetInterval(kColorChangeDelayMs);
      timer_->SetOnTimer([window = window_, message = serviceMessage_](Timer& timer) {
        timer.SetEnabled(false);
        ::PostMessageW(window, message, protocol::kSvcRefreshFrameIcons, 0);
      });
    }
    // Disabling first kills the running timer, so enabling starts the full delay again.
    timer_->SetEnabled(false);
    timer_->SetEnabled(true);
    return true;
  } catch (...) {
    return false;
  }
}

bool ColorChangeDebounce::OnMessage(UINT msg, LPARAM lParam, bool unicodeWindow) noexcept {
  if (!IsColorChangeMessage(msg, lParam, unicodeWindow)) return false;
  Restart();
  return true;
}

}  // namespace dl::extender
