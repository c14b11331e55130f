#include "library/link/monitor_sources.h"

#include <cstring>
#include <memory>

#include "platform/handles.h"

namespace dl::link {
namespace mb = protocol::monitor_block;
namespace {

// The bytes that are really readable from `base` on: at most `wanted`.
std::size_t ReadableSize(const void* base, std::size_t wanted) noexcept {
  MEMORY_BASIC_INFORMATION info{};
  if (!::VirtualQuery(base, &info, sizeof info)) return 0;
  return info.RegionSize < wanted ? info.RegionSize : wanted;
}

// Maps `size` bytes and copies them out, so that what is checked is what is read even if
// the main program writes meanwhile.
std::unique_ptr<std::uint8_t[]> CopyView(HANDLE mapping, std::size_t size) noexcept {
  platform::UniqueView view(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size));
  if (!view || ReadableSize(view.get(), size) < size) return nullptr;
  std::unique_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[size]);
  if (copy) std::memcpy(copy.get(), view.get(), size);
  return copy;
}

using SetThreadDpiAwarenessContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);

SetThreadDpiAwarenessContextFn SetAwarenessFunction() noexcept {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<SetThreadDpiAwarenessContextFn>(
                      reinterpret_cast<void*>(::GetProcAddress(user32, "SetThreadDpiAwarenessContext")))
                : nullptr;
}

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) noexcept {
  auto* list = reinterpret_cast<std::vector<ProcessMonitor>*>(data);
  MONITORINFOEXW info{};
  info.cbSize = sizeof info;
  if (!::GetMonitorInfoW(monitor, &info)) return TRUE;
  try {
    list->push_back({monitor, info.rcMonitor, info.rcWork,
                     std::wstring(info.szDevice, ::wcsnlen(info.szDevice, CCHDEVICENAME))});
  } catch (...) {
    return FALSE;  // out of memory: stop rather than unwind through user32
  }
  return TRUE;
}

}  // namespace

std::optional<DeviceRecords> ReadMonitorBlockMapping(const wchar_t* mappingName) noexcept {
  platform::LastErrorGuard keepError;
  platform::UniqueHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, mappingName));
  if (!mapping) return std::nullopt;
  const auto head = CopyView(mapping.get(), mb::kFirstRecordOffset);
  if (!head) return std::nullopt;
  const std::optional<std::uint32_t> count = mb::ReadDeviceCount(head.get(), mb::kFirstRecordOffset);
  if (!count) return std::nullopt;
  if (*count == 0) return DeviceRecords{};
  const std::size_t size = mb::BlockSize(*count);  // 64-bit size_t: no wrap for any 32-bit count
  const auto block = CopyView(mapping.get(), size);
  if (!block) return std::nullopt;
  return mb::ReadMonitorBlock(block.get(), size);
}

std::vector<ProcessMonitor> ListProcessMonitors(bool perMonitorAware) noexcept {
  std::vector<ProcessMonitor> list;
  DPI_AWARENESS_CONTEXT previous = nullptr;
  SetThreadDpiAwarenessContextFn setAwareness = perMonitorAware ? SetAwarenessFunction() : nullptr;
  if (setAwareness) previous = setAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  ::EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(&list));
  if (setAwareness && previous) setAwareness(previous);
  return list;
}

MonitorSources SystemMonitorSources() {
  return {[] { return ReadMonitorBlockMapping(mb::kMappingName); },
          [](bool perMonitorAware) { return ListProcessMonitors(perMonitorAware); }};
}

}  // namespace dl::link
