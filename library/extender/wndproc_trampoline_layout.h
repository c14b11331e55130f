#pragma once
// Layout of the window-procedure trampoline blocks. Blocks outlive the library copy that made
// them (windows keep routing through their entries), and the next copy in the process takes
// them over, so every copy must agree on every offset here.
#include <cstddef>
#include <cstdint>

namespace dl::extender::trampoline_layout {

inline constexpr std::size_t kBlockSize = 4096;
// Each block is followed by an annex page of the same allocation: the dispatch stub's unwind
// information with its unwind handler, which do not fit into the block's free space.
inline constexpr std::size_t kAnnexOffset = kBlockSize;
inline constexpr std::size_t kAllocationSize = 2 * kBlockSize;
inline constexpr std::size_t kPreviousBlockOffset = 0;  // 8 bytes: previous block, 0 ends the list
inline constexpr std::size_t kDispatchStubOffset = 8;
inline constexpr std::size_t kDispatchStubSize = 144;
inline constexpr std::size_t kForwarderHelperOffset = kDispatchStubOffset + kDispatchStubSize;  // 152
inline constexpr std::size_t kForwarderHelperSize = 32;
inline constexpr std::size_t kFirstEntryOffset = 198;
inline constexpr std::size_t kEntrySize = 37;
inline constexpr std::size_t kEntryStartLimit = 4059;  // an entry must start below this
inline constexpr std::size_t kEntriesPerBlock = (kEntryStartLimit - kFirstEntryOffset + kEntrySize - 1) / kEntrySize;

// The dispatch stub's code; its function (for the unwind information) begins after the few
// leaf-like instructions that take the entry's return address off the stack.
inline constexpr std::size_t kDispatchStubCodeSize = 121;
inline constexpr std::size_t kDispatchFunctionStart = 12;
static_assert(kDispatchStubCodeSize <= kDispatchStubSize);

// Unwind information of the block's two pieces of code, in the annex.
inline constexpr std::size_t kDispatchUnwindInfoOffset = kAnnexOffset;  // with the handler's address
inline constexpr std::size_t kDispatchUnwindInfoSize = 16;
inline constexpr std::size_t kHelperUnwindInfoOffset = kDispatchUnwindInfoOffset + kDispatchUnwindInfoSize;
inline constexpr std::size_t kHelperUnwindInfoSize = 8;
inline constexpr std::size_t kUnwindTableOffset = kHelperUnwindInfoOffset + kHelperUnwindInfoSize;  // two RUNTIME_FUNCTIONs
inline constexpr std::size_t kUnwindTableSize = 24;
inline constexpr std::size_t kUnwindHandlerOffset = kUnwindTableOffset + kUnwindTableSize;
inline constexpr std::size_t kUnwindHandlerSize = 25;
static_assert(kUnwindTableOffset % 4 == 0 && kHelperUnwindInfoOffset % 4 == 0 && kDispatchUnwindInfoOffset % 4 == 0);
static_assert(kUnwindHandlerOffset + kUnwindHandlerSize <= kAllocationSize);

static_assert(kForwarderHelperOffset + kForwarderHelperSize <= kFirstEntryOffset);
static_assert(kEntriesPerBlock == 105);
static_assert(kFirstEntryOffset + (kEntriesPerBlock - 1) * kEntrySize < kEntryStartLimit);
static_assert(kFirstEntryOffset + kEntriesPerBlock * kEntrySize <= kBlockSize);

// Entry, both forms: bytes 0-1 48 B8 (mov rax, imm64), bytes 2-9 the immediate.
// Dispatch form: imm = block + kDispatchStubOffset; bytes 10-11 FF D0 (call rax); bytes 12-19 the
//   method's code, bytes 20-27 its object. A free entry is in dispatch form with object 0 and
//   bytes 12-19 linking the free list.
// Forwarder form: imm = the window procedure forwarded to; bytes 10-19 49 BA + CallWindowProcW/A
//   (mov r10, imm64); bytes 20-24 E9 rel32 (jmp to the block's forwarder helper).
inline constexpr std::size_t kImmediateOffset = 2;
inline constexpr std::size_t kFormOffset = 10;
inline constexpr std::size_t kMethodCodeOffset = 12;
inline constexpr std::size_t kMethodObjectOffset = 20;
inline constexpr std::size_t kFreeLinkOffset = 12;
inline constexpr std::size_t kForwarderCallTargetOffset = 12;
inline constexpr std::size_t kForwarderJumpOffset = 20;
inline constexpr unsigned char kDispatchMark[2] = {0xFF, 0xD0};
static_assert(kMethodObjectOffset + 8 <= kEntrySize);
static_assert(kForwarderJumpOffset + 5 <= kEntrySize);

// The dispatch stub's two placeholders, each the low half of a 64-bit immediate.
inline constexpr std::uint32_t kBusyCounterMark = 0x12345678;
inline constexpr std::uint32_t kIsBadReadPtrMark = 0x32345678;

}  // namespace dl::extender::trampoline_layout
