#include "library/link/process_monitor_center.h"

#include <atomic>

#include "protocol/server_commands.h"

namespace dl::link {
namespace {

// Never destroyed: no code runs for it at unload. The lock guards taking a reference
// against the swap, and a rebuild's hand-over of subscribers against new subscriptions.
constinit SRWLOCK g_lock = SRWLOCK_INIT;
constinit TMultiMonitorCenter* g_center = nullptr;
// Set while the library lives in the process: the first query makes the center then. Making
// it reads the main program's block and enumerates the monitors, which brings the display
// driver into a process that may not have it yet; most processes never ask.
constinit std::atomic<bool> g_madeAtFirstUse{false};

model::RefPtr<TMultiMonitorCenter> NewCenter(const MonitorSources& sources) {
  model::RefPtr<TMultiMonitorCenter> center(new TMultiMonitorCenter(sources));
  center->Update();
  return center;
}

BOOL CALLBACK CollectHandle(HMONITOR monitor, HDC, LPRECT, LPARAM data) noexcept {
  try {
    reinterpret_cast<std::vector<HMONITOR>*>(data)->push_back(monitor);
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

bool SystemWorkRect(HMONITOR monitor, RECT& rect) noexcept {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor && ::GetMonitorInfoW(monitor, &info)) {
    rect = info.rcWork;
    return true;
  }
  return ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rect, 0) != FALSE;
}

model::RefPtr<TMultiMonitorCenter> CurrentCenter() noexcept {
  ::AcquireSRWLockShared(&g_lock);
  model::RefPtr<TMultiMonitorCenter> center(g_center);
  ::ReleaseSRWLockShared(&g_lock);
  return center;
}

// onlyAtFirstUse: made by a query, which must not bring a center back after the release.
void CreateCenter(const MonitorSources& sources, bool onlyAtFirstUse) noexcept {
  try {
    if (CurrentCenter()) return;
    (void)::GetSystemMetrics(SM_CMONITORS);  // asked once, before the first enumeration
    model::RefPtr<TMultiMonitorCenter> center = NewCenter(sources);
    platform::ExclusiveSrwLock lock(g_lock);
    if (onlyAtFirstUse && !g_madeAtFirstUse.load(std::memory_order_acquire)) return;
    if (!g_center) g_center = center.Detach();
  } catch (...) {
  }
}

}  // namespace

model::RefPtr<TMultiMonitorCenter> ProcessMonitorCenter() noexcept {
  model::RefPtr<TMultiMonitorCenter> center = CurrentCenter();
  if (!center && g_madeAtFirstUse.load(std::memory_order_acquire)) {
    try {
      CreateCenter(SystemMonitorSources(), true);
    } catch (...) {
    }
    center = CurrentCenter();
  }
  return center;
}

void CreateProcessMonitorCenter(const MonitorSources& sources) noexcept { CreateCenter(sources, false); }

void CreateProcessMonitorCenterAtFirstUse() noexcept { g_madeAtFirstUse.store(true, std::memory_order_release); }

void RebuildProcessMonitorCenter(const MonitorSources& sources) noexcept {
  try {
    model::RefPtr<TMultiMonitorCenter> fresh = NewCenter(sources);
    model::RefPtr<TMultiMonitorCenter> old;
    {
      platform::ExclusiveSrwLock lock(g_lock);
      old = model::RefPtr<TMultiMonitorCenter>::Adopt(g_center);
      if (old) fresh->TakeOverSubscribers(old->GetSubscribers());
      g_center = model::RefPtr<TMultiMonitorCenter>(fresh).Detach();
    }
    old.Reset();
    fresh->NotifySubscribers(TMMCenterUpdateType::mmcutAllInfo);
  } catch (...) {
  }
}

void RefreshProcessMonitorCenter() noexcept {
  try {
    // Without a center yet there is nothing to look at again: the first query reads afresh.
    if (auto center = CurrentCenter()) {
      center->UpdateMonitors();
      center->NotifySubscribers(TMMCenterUpdateType::mmcutMonitorsOnly);
    }
  } catch (...) {
  }
}

void OnMonitorCommand(int commandCode) noexcept {
  if (commandCode == static_cast<int>(protocol::kCommandMonitorsRebuild))
    RebuildProcessMonitorCenter();
  else if (commandCode == static_cast<int>(protocol::kCommandMonitorsRefresh))
    RefreshProcessMonitorCenter();
}

void ReleaseProcessMonitorCenter() noexcept {
  TMultiMonitorCenter* center = nullptr;
  {
    platform::ExclusiveSrwLock lock(g_lock);
    g_madeAtFirstUse.store(false, std::memory_order_release);
    center = std::exchange(g_center, nullptr);
  }
  if (center) center->Release();
}

void SubscribeToProcessMonitorCenter(IMMCenterSubscriber* subscriber) noexcept {
  if (subscriber) (void)ProcessMonitorCenter();  // the first subscriber may be its first use
  try {
    // Shared: subscriptions may run side by side, but not beside a rebuild's hand-over.
    ::AcquireSRWLockShared(&g_lock);
    if (g_center) g_center->Subscribe(subscriber);
    ::ReleaseSRWLockShared(&g_lock);
  } catch (...) {
    ::ReleaseSRWLockShared(&g_lock);
  }
}

void UnsubscribeFromProcessMonitorCenter(IMMCenterSubscriber* subscriber) noexcept {
  model::RefPtr<TMultiMonitorCenter> center;
  ::AcquireSRWLockShared(&g_lock);
  center = model::RefPtr<TMultiMonitorCenter>(g_center);
  try {
    if (center) center->Unsubscribe(subscriber);
  } catch (...) {
  }
  ::ReleaseSRWLockShared(&g_lock);
}

std::vector<HMONITOR> DesktopMonitors() noexcept {
  try {
    if (auto center = ProcessMonitorCenter(); center && center->GetDesktopMonitorCount() > 0)
      return center->GetDesktopMonitors();
    std::vector<HMONITOR> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, &CollectHandle, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
  } catch (...) {
    return {};
  }
}

bool MonitorWorkRect(HMONITOR monitor, RECT& rect) noexcept {
  try {
    if (auto center = ProcessMonitorCenter(); center && center->GetDesktopMonitorWorkRect(monitor, rect)) return true;
  } catch (...) {
  }
  return SystemWorkRect(monitor, rect);
}

bool WorkRectForPoint(POINT point, RECT& rect) noexcept {
  try {
    if (auto center = ProcessMonitorCenter(); center && center->GetDesktopMonitorWorkRectForPoint(point, rect))
      return true;
  } catch (...) {
  }
  return SystemWorkRect(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), rect);
}

bool WorkRectForWindow(HWND wnd, RECT& rect) noexcept {
  try {
    if (auto center = ProcessMonitorCenter(); center && center->GetDesktopMonitorWorkRectForWindow(wnd, rect))
      return true;
  } catch (...) {
  }
  return SystemWorkRect(::MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST), rect);
}

void MapPhysicalToLogical(HMONITOR monitor, POINT* points, int count) noexcept {
  try {
    if (auto center = ProcessMonitorCenter()) center->MapPhysicalToLogicalPoints(monitor, points, count);
  } catch (...) {
  }
}

}  // namespace dl::link
