#pragma once
// The rule block: a read-only mapping that the main program publishes under a new id
// whenever the window rules change. It starts with its total size and holds a chain of
// records; every offset stored in a record counts from that record's first byte, and
// offset 0 means "none". A string at offset o is a 32-bit length at o, then the
// characters; an ANSI string is followed by a zero byte, a UTF-16 string's length is in
// code units.
#include <cstddef>
#include <cstdint>
#include <string>
#include "protocol/product_guid.h"

namespace dl::protocol::rule_block {

inline constexpr wchar_t kMappingNamePrefix[] =
    DL_LOCAL_NAMESPACE DL_PRODUCT_GUID L"_ParamStrings_";

// The prefix followed by the id as 8 upper-case hexadecimal digits.
[[nodiscard]] std::wstring MappingName(std::uint32_t id);

inline constexpr std::size_t kSizeFieldOffset = 0;  // 32-bit, these 4 bytes included
inline constexpr std::size_t kFirstRecordOffset = 4;

// Every record starts with eight 32-bit little-endian fields.
inline constexpr std::size_t kFieldSize = 4;
inline constexpr std::size_t kRecordHeaderSize = 8 * kFieldSize;
inline constexpr std::size_t kStringLengthSize = 4;

enum RecordType : std::uint32_t {
  kEndOfChain = 0,
  kGroup = 1,
  kSpecificRule = 2,
  kDefaultRule = 3,
  kExclusionRule = 4,
  kCaptionCriterion = 5,
  kFileNameCriterion = 6,
  kClassCriterion = 7,
  kTabbedExplorer = 8,
};

inline constexpr std::size_t kTypeField = 0;

namespace group {
inline constexpr std::size_t kFirstRule = 4;
inline constexpr std::size_t kNext = 8;
inline constexpr std::size_t kRuleCount = 12;
inline constexpr std::size_t kSkin = 16;          // ANSI string
inline constexpr std::size_t kCommonParams = 20;  // ANSI string
}  // namespace group

namespace tabbed_explorer {
inline constexpr std::size_t kNext = 8;
inline constexpr std::size_t kEnabled = 12;  // nonzero when enabled
inline constexpr std::size_t kPath = 16;     // UTF-16 string
}  // namespace tabbed_explorer

namespace rule {
inline constexpr std::size_t kFirstCriterion = 4;
inline constexpr std::size_t kNext = 8;
inline constexpr std::size_t kName = 12;  // ANSI string
inline constexpr std::size_t kCriterionCount = 16;
inline constexpr std::size_t kParams = 20;    // ANSI string
inline constexpr std::size_t kChecksum = 24;  // 32-bit
inline constexpr std::size_t kSpecialIcons = 28;  // ANSI string
}  // namespace rule

namespace criterion {
inline constexpr std::size_t kNext = 8;
inline constexpr std::size_t kPattern = 12;  // ANSI string
inline constexpr std::size_t kCaptionMode = 16;
}  // namespace criterion

// Caption criteria compare in one of three ways; any other value never matches.
enum CaptionMode : std::int32_t {
  kRegularExpression = -2,
  kExact = -1,
  kSubstring = 0,
};

constexpr bool IsFieldOffset(std::size_t offset) {
  return offset % kFieldSize == 0 && offset + kFieldSize <= kRecordHeaderSize;
}
static_assert(kRecordHeaderSize == 32);
static_assert(IsFieldOffset(group::kFirstRule) && IsFieldOffset(group::kNext) &&
              IsFieldOffset(group::kRuleCount) && IsFieldOffset(group::kSkin) &&
              IsFieldOffset(group::kCommonParams));
static_assert(IsFieldOffset(tabbed_explorer::kNext) && IsFieldOffset(tabbed_explorer::kEnabled) &&
              IsFieldOffset(tabbed_explorer::kPath));
static_assert(IsFieldOffset(rule::kFirstCriterion) && IsFieldOffset(rule::kNext) &&
              IsFieldOffset(rule::kName) && IsFieldOffset(rule::kCriterionCount) &&
              IsFieldOffset(rule::kParams) && IsFieldOffset(rule::kChecksum) &&
              IsFieldOffset(rule::kSpecialIcons));
static_assert(IsFieldOffset(criterion::kNext) && IsFieldOffset(criterion::kPattern) &&
              IsFieldOffset(criterion::kCaptionMode));
// The next-record field sits at the same place in every kind of record.
static_assert(group::kNext == rule::kNext && rule::kNext == criterion::kNext &&
              criterion::kNext == tabbed_explorer::kNext);

}  // namespace dl::protocol::rule_block
