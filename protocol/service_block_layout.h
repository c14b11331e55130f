#pragma once
// The service block: a read-only mapping that the main program creates and fills with
// settings every process of the library reads (regular-expression folder, logging
// switch, screen DPI, current rule block). Offsets are from the block's first byte.
#include <cstddef>
#include <cstdint>
#include "protocol/product_guid.h"

namespace dl::protocol::service_block {

inline constexpr wchar_t kMappingName[] =
    DL_LOCAL_NAMESPACE DL_PRODUCT_GUID L"_ServiceMapping_8146";

// 261 UTF-16 code units, zero-terminated: where "pcre64.dll" is loaded from.
inline constexpr std::size_t kLocationOffset = 0;
inline constexpr std::size_t kLocationUnits = 261;
inline constexpr std::size_t kReservedOffset = kLocationOffset + kLocationUnits * 2;
inline constexpr std::size_t kReservedSize = 33;
inline constexpr std::size_t kEventLogOffset = kReservedOffset + kReservedSize;  // 32-bit, nonzero = on
inline constexpr std::size_t kDpiOffset = kEventLogOffset + 4;                   // 32-bit
inline constexpr std::size_t kRuleBlockIdOffset = kDpiOffset + 4;                // 32-bit unsigned, 0 = none
inline constexpr std::size_t kSize = kRuleBlockIdOffset + 4;

static_assert(kReservedOffset == 522);
static_assert(kEventLogOffset == 555);
static_assert(kDpiOffset == 559);
static_assert(kRuleBlockIdOffset == 563);
static_assert(kSize == 567);

}  // namespace dl::protocol::service_block
