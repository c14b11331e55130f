#include "library/extender/frame_icons.h"
#include "platform/callback_guard.h"

#include <atomic>

namespace dl::extender {
namespace {

constinit std::atomic<HostedAppIconLookup> g_hostedAppIconLookup{nullptr};

void SetIcon(HWND frame, WPARAM which, HICON icon) noexcept {
  const auto previous = reinterpret_cast<HICON>(
      ::SendMessageW(frame, WM_SETICON, which, reinterpret_cast<LPARAM>(icon)));
  if (previous && previous != icon) ::DestroyIcon(previous);
}

}  // namespace

void SetHostedAppIconLookup(HostedAppIconLookup lookup) noexcept { g_hostedAppIconLookup.store(lookup); }

HostedAppIconLookup GetHostedAppIconLookup() noexcept { return g_hostedAppIconLookup.load(); }

bool FrameIcons::Refresh(HWND frame, bool iconChangedByAction, const HostedAppIconSource& source) noexcept {
  if (iconChangedByAction || !source) return initialized_;
  try {
    const HostedAppIcons icons = source(frame, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CXSMICON));
    if (icons.large.icon) SetIcon(frame, ICON_BIG, icons.large.icon);
    if (icons.small.icon) SetIcon(frame, ICON_SMALL, icons.small.icon);
    initialized_ = icons.large.icon && !icons.large.placeholder;
  } catch (...) {
    platform::RecordCallbackFailure("frame_icons: Refresh");
  }
  return initialized_;
}

}  // namespace dl::extender
