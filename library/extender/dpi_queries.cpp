#include "library/extender/dpi_queries.h"

#include "library/extender/process_flags.h"
#include "library/extender/system_functions.h"
#include "library/extender/window_services_rules.h"
#include "platform/handles.h"

namespace dl::extender {
namespace {

constexpr int kEffectiveDpi = 0;          // MDT_EFFECTIVE_DPI
constexpr int kPerMonitorDpiAware = 2;    // PROCESS_PER_MONITOR_DPI_AWARE
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));

bool NonClientAreaScaled(HWND window, bool applicationFrameWindow) noexcept {
  if (!OsFlags().win10OrLater) return false;
  if (applicationFrameWindow) return true;
  const auto& user32 = User32Dpi();
  if (user32.isNonClientDpiScalingEnabled) return user32.isNonClientDpiScalingEnabled(window) != FALSE;
  if (user32.isWindowBroadcastingDpiToChildren) return user32.isWindowBroadcastingDpiToChildren(window) != FALSE;
  return false;
}

}  // namespace

UINT SystemDpi() noexcept {
  static const UINT dpi = [] {
    UINT value = 96;
    const platform::ScopedWindowDc screen(nullptr);
    if (screen.get()) {
      const int pixels = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
      if (pixels > 0) value = static_cast<UINT>(pixels);
    }
    return value;
  }();
  return dpi;
}

UINT MonitorDpi(HMONITOR monitor) noexcept {
  if (monitor && OsFlags().win81OrLater) {
    if (auto getDpiForMonitor = Shcore().getDpiForMonitor) {
      UINT x = 0, y = 0;
      if (SUCCEEDED(getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && y != 0) return y;
    }
  }
  return SystemDpi();
}

UINT MonitorDpiAt(POINT point) noexcept { return MonitorDpi(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST)); }

UINT QueryWindowDpi(HWND window) noexcept {
  if (!OsFlags().win10OrLater) return SystemDpi();
  if (auto getDpiForWindow = User32Dpi().getDpiForWindow) {
    if (const UINT dpi = getDpiForWindow(window)) return dpi;
  }
  return MonitorDpi(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

UINT QueryWindowNonClientDpi(HWND window, bool applicationFrameWindow) noexcept {
  return NonClientAreaScaled(window, applicationFrameWindow) ? QueryWindowDpi(window) : SystemDpi();
}

UINT WindowDpiCache::GetWindowDPI(HWND window) noexcept {
  if (windowDpi_ == 0) windowDpi_ = QueryWindowDpi(window);
  return windowDpi_;
}

UINT WindowDpiCache::GetWindowNonClientDPI(HWND window, bool applicationFrameWindow) noexcept {
  if (windowNonClientDpi_ == 0)
    windowNonClientDpi_ = NonClientAreaScaled(window, applicationFrameWindow) ? GetWindowDPI(window) : SystemDpi();
  return windowNonClientDpi_;
}

void WindowDpiCache::BeforeDpiChanged(LPARAM suggestedRect) const noexcept {
  // Anyone may send this message: write only where a rectangle can be written.
  if (targetRectValid_ && suggestedRect && !::IsBadWritePtr(reinterpret_cast<void*>(suggestedRect), sizeof(RECT)))
    *reinterpret_cast<RECT*>(suggestedRect) = targetRect_;
}

bool ProcessUsesThreadDpiAwareness() noexcept {
  static const bool used = [] {
    DpiAwarenessFacts facts;
    facts.win10Build14393OrLater = OsFlags().win10OrLater && OsFlags().build >= 14393;
    facts.officeLibraryLoaded = CurrentProcessFlags().office;
    facts.executableIsOutlook = Executable().lowerName == L"outlook.exe";
    const FileVersion& version = ExecutableVersion();
    facts.versionValid = version.valid;
    facts.versionMajor = version.major;
    facts.versionRelease = version.release;
    if (facts.win10Build14393OrLater && facts.officeLibraryLoaded && AsksProcessDpiAwareness(facts)) {
      if (auto getProcessDpiAwareness = Shcore().getProcessDpiAwareness) {
        int awareness = -1;
        facts.processPerMonitorAware =
            SUCCEEDED(getProcessDpiAwareness(nullptr, &awareness)) && awareness == kPerMonitorDpiAware;
      }
    }
    return UsesThreadDpiAwareness(facts) && User32Dpi().setThreadDpiAwarenessContext != nullptr;
  }();
  return used;
}

ScopedThreadDpiAwareness::ScopedThreadDpiAwareness() noexcept
    : ScopedThreadDpiAwareness(ProcessUsesThreadDpiAwareness()) {}

ScopedThreadDpiAwareness::ScopedThreadDpiAwareness(bool use) noexcept {
  if (!use) return;
  if (auto set = User32Dpi().setThreadDpiAwarenessContext) previous_ = set(kPerMonitorAwareV2);
}

ScopedThreadDpiAwareness::~ScopedThreadDpiAwareness() {
  if (previous_) User32Dpi().setThreadDpiAwarenessContext(previous_);
}

}  // namespace dl::extender
