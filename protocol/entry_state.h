#pragma once
// The library's answer to kSvcDebugEntryStateQuery: what its initialisation did in the
// answering process. lParam carries the state bits in the low 32 bits and the answering
// process id in the high 32 bits (lParam is 64 bits wide in every process that runs us).
#include <cstdint>

namespace dl::protocol {

enum EntryStateBits : unsigned {
  kEntryApplicationStarted = 1u << 0,  // the process passed the gate: the application step ran
  kEntryApplicationPresent = 1u << 1,  // an embedded application object exists
  kEntryInertProcess = 1u << 2,
  kEntryReducedHookProcess = 1u << 3,
  kEntryShellViewCompat = 1u << 4,
  kEntryLinkRegistered = 1u << 5,       // the messenger client is registered with server instance 0
  kEntryShellLinkRegistered = 1u << 6,  // ... and with instance 1
  kEntryUnloading = 1u << 7,            // the application is unloading
  // Bits 8-15: the messenger client's state + 1 (0: no client).
};
constexpr unsigned kEntryLinkStateShift = 8;
constexpr int EntryLinkState(unsigned bits) noexcept { return static_cast<int>((bits >> kEntryLinkStateShift) & 0xFFu) - 1; }

constexpr std::intptr_t PackEntryStateReply(unsigned bits, std::uint32_t processId) noexcept {
  return static_cast<std::intptr_t>(static_cast<std::uint64_t>(bits) | (static_cast<std::uint64_t>(processId) << 32));
}
constexpr unsigned EntryStateReplyBits(std::intptr_t reply) noexcept {
  return static_cast<unsigned>(static_cast<std::uint64_t>(reply) & 0xFFFFFFFFu);
}
constexpr std::uint32_t EntryStateReplyProcess(std::intptr_t reply) noexcept {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(reply) >> 32);
}

}  // namespace dl::protocol
