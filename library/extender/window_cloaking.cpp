#include "library/extender/window_cloaking.h"

#include "library/extender/system_functions.h"

namespace dl::extender {
namespace {

constexpr DWORD kCloakAttribute = 13;         // DWMWA_CLOAK
constexpr DWORD kCloakedAttribute = 14;       // DWMWA_CLOAKED
constexpr DWORD kCloakedByApplication = 1;    // DWM_CLOAKED_APP

bool SetCloak(HWND window, BOOL cloak) noexcept {
  const auto set = Dwm().setWindowAttribute;
  return set && SUCCEEDED(set(window, kCloakAttribute, &cloak, sizeof(cloak)));
}

}  // namespace

LRESULT WindowCloaking::Cloak(HWND window) noexcept {
  if (!SetCloak(window, TRUE)) return 0;
  windowWasCloaked_ = true;
  return 1;
}

LRESULT WindowCloaking::Uncloak(HWND window) noexcept {
  if (!SetCloak(window, FALSE)) return 0;
  windowWasCloaked_ = false;
  return 1;
}

void WindowCloaking::UncloakAtDetach(HWND window) noexcept {
  if (!windowWasCloaked_) return;
  const auto get = Dwm().getWindowAttribute;
  DWORD cloaked = 0;
  if (get && SUCCEEDED(get(window, kCloakedAttribute, &cloaked, sizeof(cloaked))) && cloaked == kCloakedByApplication)
    Uncloak(window);
}

}  // namespace dl::extender
