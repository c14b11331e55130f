#pragma once
// Where a multi-monitor center takes its two inputs from: the main program's monitor block
// and the monitors as this process sees them. The system's sources read the named mapping
// and enumerate the display monitors; tests give their own.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocol/monitor_block.h"

namespace dl::link {

struct ProcessMonitor {
  HMONITOR handle = nullptr;
  RECT rect{};
  RECT work{};
  std::wstring deviceName;
};

using DeviceRecords = std::vector<protocol::monitor_block::DisplayDevice>;

struct MonitorSources {
  // The block's records; nothing when it is absent or lies about its size.
  std::function<std::optional<DeviceRecords>()> readBlock;
  // The display monitors; with perMonitorAware the thread's DPI awareness is per-monitor
  // (version 2) while they are enumerated, where the system allows it.
  std::function<std::vector<ProcessMonitor>(bool perMonitorAware)> listMonitors;
};

// Opens the block read-only under `mappingName`, maps its count and then exactly the records
// it announces (a count larger than the mapping fails there), and reads a private copy.
[[nodiscard]] std::optional<DeviceRecords> ReadMonitorBlockMapping(const wchar_t* mappingName) noexcept;
[[nodiscard]] std::vector<ProcessMonitor> ListProcessMonitors(bool perMonitorAware) noexcept;

// The block under its shared name and the system's monitors.
[[nodiscard]] MonitorSources SystemMonitorSources();

}  // namespace dl::link
