#include "library/extender/color_change_debounce.h"

#include <cstring>
#include <cwchar>
#include <iterator>

#include "library/extender/process_flags.h"
#include "protocol/service_codes.h"

namespace dl::extender {

bool IsColorChangeMessage(UINT msg, LPARAM lParam, bool unicodeWindow) noexcept {
  if (!OsFlags().win10OrLater) return false;
  if (msg == WM_THEMECHANGED || msg == WM_DWMCOLORIZATIONCOLORCHANGED) return true;
  if (msg != WM_SETTINGCHANGE || lParam == 0) return false;
  // The text comes with another process's broadcast: read no further than the name and its end,
  // and only what is readable.
  constexpr wchar_t kName[] = L"ImmersiveColorSet";
  constexpr std::size_t kLength = std::size(kName);  // with the terminating zero
  if (unicodeWindow) {
    const auto* text = reinterpret_cast<const wchar_t*>(lParam);
    return !::IsBadReadPtr(text, kLength * sizeof(wchar_t)) && _wcsnicmp(text, kName, kLength) == 0;
  }
  const auto* text = reinterpret_cast<const char*>(lParam);
  return !::IsBadReadPtr(text, kLength) && _strnicmp(text, "ImmersiveColorSet", kLength) == 0;
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
