#include "tools/devcenter/monitor_block_publisher.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace dl::devcenter {
namespace mb = protocol::monitor_block;
namespace {

using SetThreadDpiAwarenessContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);

BOOL CALLBACK CollectDevice(HMONITOR monitor, HDC, LPRECT, LPARAM data) noexcept {
  MONITORINFOEXW info{};
  info.cbSize = sizeof info;
  if (!::GetMonitorInfoW(monitor, &info)) return TRUE;
  try {
    mb::DisplayDevice device;
    for (const wchar_t* c = info.szDevice; *c && c < info.szDevice + CCHDEVICENAME; ++c)
      device.deviceName += static_cast<char16_t>(*c);
    device.realRect = {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
    device.attached = true;
    reinterpret_cast<DisplayDevices*>(data)->push_back(std::move(device));
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

}  // namespace

DisplayDevices SeeDisplayDevices() {
  auto setAwareness = reinterpret_cast<SetThreadDpiAwarenessContextFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
  DPI_AWARENESS_CONTEXT previous = setAwareness ? setAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) : nullptr;
  DisplayDevices devices;
  ::EnumDisplayMonitors(nullptr, nullptr, &CollectDevice, reinterpret_cast<LPARAM>(&devices));
  if (setAwareness && previous) setAwareness(previous);
  return devices;
}

MonitorBlockPublisher::MonitorBlockPublisher(const wchar_t* mappingName) {
  const std::size_t capacity = mb::BlockSize(kMaxDevices);
  mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(capacity),
                                      mappingName));
  if (!mapping_)
    throw std::runtime_error("cannot create the monitor block (error " + std::to_string(::GetLastError()) + ")");
  view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, capacity));
  if (!view_) throw std::runtime_error("cannot map the monitor block");
  std::memset(view_.get(), 0, capacity);
}

void MonitorBlockPublisher::Publish(const DisplayDevices& devices) {
  DisplayDevices kept(devices.begin(), devices.begin() + static_cast<std::ptrdiff_t>(std::min(devices.size(), kMaxDevices)));
  const std::vector<std::uint8_t> bytes = mb::WriteMonitorBlock(kept);
  auto* view = static_cast<volatile std::uint8_t*>(view_.get());
  auto* count = static_cast<std::uint8_t*>(view_.get()) + mb::kCountOffset;
  std::memset(count, 0, mb::kCountSize);
  ::MemoryBarrier();
  std::memcpy(static_cast<std::uint8_t*>(view_.get()) + mb::kFirstRecordOffset, bytes.data() + mb::kFirstRecordOffset,
              bytes.size() - mb::kFirstRecordOffset);
  ::MemoryBarrier();
  for (std::size_t i = 0; i < mb::kCountSize; ++i) view[mb::kCountOffset + i] = bytes[mb::kCountOffset + i];
  published_ = std::move(kept);
}

MonitorWatcher::MonitorWatcher(MonitorBlockPublisher& publisher, Seer seer)
    : publisher_(publisher), seer_(std::move(seer)) {}

void MonitorWatcher::PublishNow() { publisher_.Publish(seer_()); }

bool MonitorWatcher::CheckForChange() {
  DisplayDevices now = seer_();
  if (now.size() > MonitorBlockPublisher::kMaxDevices) now.resize(MonitorBlockPublisher::kMaxDevices);
  if (now == publisher_.Published()) return false;
  publisher_.Publish(now);
  return true;
}

}  // namespace dl::devcenter
