#pragma once
// The contents of the monitor block, and its encoding in the layout of
// monitor_block_layout.h. The reader trusts nothing in the bytes: a count that the view
// cannot hold makes the whole block count as absent.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/monitor_block_layout.h"

namespace dl::protocol::monitor_block {

struct Rect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct DisplayDevice {
  std::u16string deviceName;  // at most kDeviceNameUnits - 1 code units are written
  Rect realRect;
  bool attached = false;
  bool cloneSlave = false;
  friend bool operator==(const DisplayDevice&, const DisplayDevice&) = default;
};

// The whole block, count field included.
[[nodiscard]] std::vector<std::uint8_t> WriteMonitorBlock(const std::vector<DisplayDevice>& devices);

// The record count, or nothing when the view cannot hold the count field.
[[nodiscard]] std::optional<std::uint32_t> ReadDeviceCount(const void* view, std::size_t viewSize) noexcept;

// The records, in order. Nothing when the view is too small for its count field or for
// the records the count announces (a block whose count lies is no block). A count of 0
// gives an empty list. A device name without its terminator ends with its field.
[[nodiscard]] std::optional<std::vector<DisplayDevice>> ReadMonitorBlock(const void* view,
                                                                         std::size_t viewSize) noexcept;

}  // namespace dl::protocol::monitor_block
