#pragma once
// The process's one multi-monitor center: made at its first use once the library has started,
// rebuilt and refreshed on the main program's monitor commands, released at unload. Queries may come
// from any thread; a rebuild makes a complete new center and swaps it in, so a query sees
// either the old or the new one whole. Without a center the queries fall back to the system.
#include <windows.h>

#include <vector>

#include "library/link/multi_monitor_center.h"

namespace dl::link {

// Creates and updates the center if there is none.
void CreateProcessMonitorCenter(const MonitorSources& sources = SystemMonitorSources()) noexcept;
// From now until the release, the first query or subscription creates the center from the
// system's sources.
void CreateProcessMonitorCenterAtFirstUse() noexcept;
// Command kCommandMonitorsRebuild: a new center, which takes over the old one's subscribers
// and tells them (mmcutAllInfo).
void RebuildProcessMonitorCenter(const MonitorSources& sources = SystemMonitorSources()) noexcept;
// Command kCommandMonitorsRefresh: the current center looks at the monitors again and tells
// its subscribers (mmcutMonitorsOnly).
void RefreshProcessMonitorCenter() noexcept;
// Either command code; any other code does nothing.
void OnMonitorCommand(int commandCode) noexcept;
void ReleaseProcessMonitorCenter() noexcept;
// The center; created here at the first use where CreateProcessMonitorCenterAtFirstUse asked.
[[nodiscard]] model::RefPtr<TMultiMonitorCenter> ProcessMonitorCenter() noexcept;

void SubscribeToProcessMonitorCenter(IMMCenterSubscriber* subscriber) noexcept;
void UnsubscribeFromProcessMonitorCenter(IMMCenterSubscriber* subscriber) noexcept;

// Asked of the center, or of the system when there is none or it cannot answer.
[[nodiscard]] std::vector<HMONITOR> DesktopMonitors() noexcept;
[[nodiscard]] bool MonitorWorkRect(HMONITOR monitor, RECT& rect) noexcept;
[[nodiscard]] bool WorkRectForPoint(POINT point, RECT& rect) noexcept;
[[nodiscard]] bool WorkRectForWindow(HWND wnd, RECT& rect) noexcept;
// Without a center the points stay as they are.
void MapPhysicalToLogical(HMONITOR monitor, POINT* points, int count) noexcept;

}  // namespace dl::link
