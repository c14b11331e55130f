#include "protocol/monitor_block.h"

namespace dl::protocol::monitor_block {
namespace {

void Put(std::vector<std::uint8_t>& out, std::size_t pos, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[pos + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get(const std::uint8_t* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::vector<std::uint8_t> WriteMonitorBlock(const std::vector<DisplayDevice>& devices) {
  std::vector<std::uint8_t> out(BlockSize(devices.size()), 0);
  Put(out, kCountOffset, static_cast<std::uint32_t>(devices.size()));
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const DisplayDevice& d = devices[i];
    const std::size_t at = kFirstRecordOffset + i * record::kSize;
    const std::size_t units = d.deviceName.size() < record::kDeviceNameUnits ? d.deviceName.size()
                                                                             : record::kDeviceNameUnits - 1;
    for (std::size_t u = 0; u < units; ++u) {
      out[at + record::kDeviceName + 2 * u] = static_cast<std::uint8_t>(d.deviceName[u] & 0xFFu);
      out[at + record::kDeviceName + 2 * u + 1] = static_cast<std::uint8_t>(d.deviceName[u] >> 8);
    }
    Put(out, at + record::kRealLeft, static_cast<std::uint32_t>(d.realRect.left));
    Put(out, at + record::kRealTop, static_cast<std::uint32_t>(d.realRect.top));
    Put(out, at + record::kRealRight, static_cast<std::uint32_t>(d.realRect.right));
    Put(out, at + record::kRealBottom, static_cast<std::uint32_t>(d.realRect.bottom));
    Put(out, at + record::kAttached, d.attached ? 1u : 0u);
    Put(out, at + record::kCloneSlave, d.cloneSlave ? 1u : 0u);
  }
  return out;
}

std::optional<std::uint32_t> ReadDeviceCount(const void* view, std::size_t viewSize) noexcept {
  if (!view || viewSize < kFirstRecordOffset) return std::nullopt;
  return Get(static_cast<const std::uint8_t*>(view) + kCountOffset);
}

std::optional<std::vector<DisplayDevice>> ReadMonitorBlock(const void* view, std::size_t viewSize) noexcept {
  const std::optional<std::uint32_t> count = ReadDeviceCount(view, viewSize);
  if (!count) return std::nullopt;
  // Division, not multiplication: a huge count must not wrap around into a small size.
  if (*count > (viewSize - kFirstRecordOffset) / record::kSize) return std::nullopt;
  const auto* bytes = static_cast<const std::uint8_t*>(view);
  try {
    std::vector<DisplayDevice> devices;
    devices.reserve(*count);
    for (std::size_t i = 0; i < *count; ++i) {
      const std::uint8_t* r = bytes + kFirstRecordOffset + i * record::kSize;
      DisplayDevice d;
      for (std::size_t u = 0; u < record::kDeviceNameUnits; ++u) {
        const auto unit = static_cast<char16_t>(r[record::kDeviceName + 2 * u] | r[record::kDeviceName + 2 * u + 1] << 8);
        if (unit == 0) break;
        d.deviceName += unit;
      }
      d.realRect = {static_cast<std::int32_t>(Get(r + record::kRealLeft)),
                    static_cast<std::int32_t>(Get(r + record::kRealTop)),
                    static_cast<std::int32_t>(Get(r + record::kRealRight)),
                    static_cast<std::int32_t>(Get(r + record::kRealBottom))};
      d.attached = Get(r + record::kAttached) != 0;
      d.cloneSlave = Get(r + record::kCloneSlave) != 0;
      devices.push_back(std::move(d));
    }
    return devices;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace dl::protocol::monitor_block
