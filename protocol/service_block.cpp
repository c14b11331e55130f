#include "protocol/service_block.h"

namespace dl::protocol::service_block {
namespace {
void Put(std::array<std::uint8_t, kSize>& out, std::size_t pos, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[pos + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
std::uint32_t Get(const std::uint8_t* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
}  // namespace

std::array<std::uint8_t, kSize> WriteServiceBlock(const ServiceBlock& block) {
  std::array<std::uint8_t, kSize> out{};
  const std::size_t units = block.regexFolder.size() < kLocationUnits ? block.regexFolder.size()
                                                                       : kLocationUnits - 1;
  for (std::size_t i = 0; i < units; ++i) {
    out[kLocationOffset + 2 * i] = static_cast<std::uint8_t>(block.regexFolder[i] & 0xFFu);
    out[kLocationOffset + 2 * i + 1] = static_cast<std::uint8_t>(block.regexFolder[i] >> 8);
  }
  Put(out, kEventLogOffset, block.eventLogEnabled ? 1u : 0u);
  Put(out, kDpiOffset, block.dpi);
  Put(out, kRuleBlockIdOffset, block.ruleBlockId);
  return out;
}

std::optional<ServiceBlock> ReadServiceBlock(const void* view, std::size_t viewSize) noexcept {
  if (!view || viewSize < kSize) return std::nullopt;
  const auto* p = static_cast<const std::uint8_t*>(view);
  ServiceBlock block;
  try {
    for (std::size_t i = 0; i < kLocationUnits; ++i) {
      const auto unit = static_cast<char16_t>(p[kLocationOffset + 2 * i] | p[kLocationOffset + 2 * i + 1] << 8);
      if (unit == 0) break;
      block.regexFolder += unit;
    }
  } catch (...) {
    return std::nullopt;
  }
  block.eventLogEnabled = Get(p + kEventLogOffset) != 0;
  block.dpi = Get(p + kDpiOffset);
  block.ruleBlockId = Get(p + kRuleBlockIdOffset);
  return block;
}

}  // namespace dl::protocol::service_block
