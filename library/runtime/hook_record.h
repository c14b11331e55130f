#pragma once
// The hook record and the process-local storage record: the only state that every copy of
// the library loaded into one process shares. Copies at different addresses (and the stubs
// they leave behind) read each other's writes, so the layouts below are fixed and checked.
#include <cstddef>
#include <cstdint>

namespace dl::entry {

// 48 bytes, GlobalAlloc'd by the first copy, read by the stubs in the stub page.
struct HookRecord {
  std::uint8_t enabled;             // stubs call the handlers only while set
  std::uint8_t reserved[7];
  std::uint64_t callNextHookEx;     // user32!CallNextHookEx
  std::uint64_t callWndProcHandler;     // current copy's WH_CALLWNDPROC handler, or 0
  std::uint64_t callWndProcRetHandler;  // current copy's WH_CALLWNDPROCRET handler, or 0
  std::uint64_t stub0;              // stub page + 0
  std::uint64_t stub1;              // stub page + 64
};
static_assert(sizeof(HookRecord) == 48);
static_assert(offsetof(HookRecord, enabled) == 0);
static_assert(offsetof(HookRecord, callNextHookEx) == 8);
static_assert(offsetof(HookRecord, callWndProcHandler) == 16);
static_assert(offsetof(HookRecord, callWndProcRetHandler) == 24);
static_assert(offsetof(HookRecord, stub0) == 32);
static_assert(offsetof(HookRecord, stub1) == 40);

// 40 bytes in the named per-process mapping.
struct StorageRecord {
  std::uint64_t busyCounter;    // address of a 32-bit counter in a zeroed 8-byte block
  std::uint64_t hookRecord;     // address of the HookRecord
  std::uint64_t stubPage;       // address of the 4096-byte executable stub page
  std::uint64_t trampolinePool;     // address of the trampoline pool state, shared by all copies
  std::uint64_t reserved;           // zero
};
static_assert(sizeof(StorageRecord) == 40);
static_assert(offsetof(StorageRecord, busyCounter) == 0);
static_assert(offsetof(StorageRecord, hookRecord) == 8);
static_assert(offsetof(StorageRecord, stubPage) == 16);
static_assert(offsetof(StorageRecord, trampolinePool) == 24);
static_assert(offsetof(StorageRecord, reserved) == 32);

inline constexpr std::size_t kStubPageSize = 4096;
inline constexpr std::size_t kStub0Offset = 0;
inline constexpr std::size_t kStub1Offset = 64;
inline constexpr std::uint32_t kStub0Mark = 0x12345678;
inline constexpr std::uint32_t kStub1Mark = 0x22345678;

}  // namespace dl::entry
