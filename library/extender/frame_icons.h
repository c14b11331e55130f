#pragma once
// App-frame windows of the frame host show the frame's icons; the extender gives them the icons
// of the app hosted in the frame instead.
#include <windows.h>

#include <functional>

namespace dl::extender {

// The extender property an action sets when it changed the window's icon itself.
inline constexpr wchar_t kIconChangedProperty[] = L"IconChanged";

struct HostedAppIcon {
  HICON icon = nullptr;
  bool placeholder = false;  // the default icon that stands in for a missing one
};
struct HostedAppIcons {
  HostedAppIcon large;
  HostedAppIcon small;
};
// The icons of the app hosted in the frame at the two sizes; missing ones as the placeholder.
using HostedAppIconSource = std::function<HostedAppIcons(HWND frame, int largeSize, int smallSize)>;

// Where the extender asks for the hosted app's icons: the code that knows how to find them
// installs its routine here. Until one is installed, frames keep their own icons.
using HostedAppIconLookup = HostedAppIcons (*)(HWND frame, int largeSize, int smallSize) noexcept;
void SetHostedAppIconLookup(HostedAppIconLookup lookup) noexcept;
[[nodiscard]] HostedAppIconLookup GetHostedAppIconLookup() noexcept;

class FrameIcons {
 public:
  // Sets the hosted app's icons on the frame unless an action changed the icon; the icons the
  // frame had are destroyed. Returns whether the frame now carries the app's real large icon.
  bool Refresh(HWND frame, bool iconChangedByAction, const HostedAppIconSource& source) noexcept;
  // FImmersiveIconsInitialized: refreshing on WM_SETTEXT stops once this holds.
  [[nodiscard]] bool Initialized() const noexcept { return initialized_; }

 private:
  bool initialized_ = false;
};

}  // namespace dl::extender
