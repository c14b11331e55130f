#pragma once
// The monitor block: a read-only mapping in which the main program describes the display
// devices as it sees them, in physical pixels. A 32-bit record count, then that many
// fixed-size records. Offsets in a record are from the record's first byte.
#include <cstddef>
#include <cstdint>

namespace dl::protocol::monitor_block {

inline constexpr wchar_t kMappingName[] = L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_MMCData_8144";

inline constexpr std::size_t kCountOffset = 0;  // 32-bit unsigned: number of records
inline constexpr std::size_t kCountSize = 4;
inline constexpr std::size_t kFirstRecordOffset = kCountOffset + kCountSize;

namespace record {
// 32 UTF-16 code units, zero-terminated, as in a display device's name.
inline constexpr std::size_t kDeviceName = 0;
inline constexpr std::size_t kDeviceNameUnits = 32;
// Physical monitor rectangle: left, top, right, bottom, 32-bit signed each.
inline constexpr std::size_t kRealRect = kDeviceName + kDeviceNameUnits * 2;
inline constexpr std::size_t kRealLeft = kRealRect;
inline constexpr std::size_t kRealTop = kRealRect + 4;
inline constexpr std::size_t kRealRight = kRealRect + 8;
inline constexpr std::size_t kRealBottom = kRealRect + 12;
inline constexpr std::size_t kAttached = kRealRect + 16;    // 32-bit boolean
inline constexpr std::size_t kCloneSlave = kAttached + 4;   // 32-bit boolean: mirrors another device
inline constexpr std::size_t kSize = kCloneSlave + 4;
}  // namespace record

// The bytes a block of `count` records takes, count field included.
constexpr std::size_t BlockSize(std::size_t count) noexcept { return kFirstRecordOffset + record::kSize * count; }

static_assert(kFirstRecordOffset == 4);
static_assert(record::kRealRect == 64);
static_assert(record::kRealBottom == 76);
static_assert(record::kAttached == 80);
static_assert(record::kCloneSlave == 84);
static_assert(record::kSize == 88);
static_assert(BlockSize(2) == 180);

}  // namespace dl::protocol::monitor_block
