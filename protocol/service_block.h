#pragma once
// The contents of the service block, and its encoding in the layout of
// service_block_layout.h.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/service_block_layout.h"

namespace dl::protocol::service_block {

struct ServiceBlock {
  std::u16string regexFolder;  // at most kLocationUnits - 1 code units are kept
  bool eventLogEnabled = false;
  std::uint32_t dpi = 96;
  std::uint32_t ruleBlockId = 0;
  friend bool operator==(const ServiceBlock&, const ServiceBlock&) = default;
};

[[nodiscard]] std::array<std::uint8_t, kSize> WriteServiceBlock(const ServiceBlock& block);

// Nothing when the view is smaller than the block. A location without its terminator
// is read up to the end of its field.
[[nodiscard]] std::optional<ServiceBlock> ReadServiceBlock(const void* view, std::size_t viewSize) noexcept;

}  // namespace dl::protocol::service_block
