#pragma once
// The two per-thread hook stubs: tiny procedures in the process-wide stub page through which
// WH_CALLWNDPROC and WH_CALLWNDPROCRET hooks reach whichever copy of the library is current.
// Hooks installed by an earlier copy keep working after it is gone.
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "library/runtime/hook_record.h"

namespace dl::entry {

inline constexpr std::size_t kStubTemplateSize = 128;
// Behind the two stubs: the body they share (it counts the call in the busy counter before it
// reads the handler and out after the handler returns) and the unwind information of the body,
// registered with the system by the copy that writes the page. The page is never freed, so the
// registration stays valid after that copy has gone.
inline constexpr std::size_t kStubBodyOffset = 128;
inline constexpr std::size_t kStubBodySize = 69;
inline constexpr std::size_t kStubUnwindTableOffset = 256;  // one RUNTIME_FUNCTION
inline constexpr std::size_t kStubUnwindInfoOffset = 268;   // its UNWIND_INFO
inline constexpr std::size_t kStubCodeSize = 276;
inline constexpr std::uint32_t kStubCounterMark = 0x13345678;

// The template with both marks unpatched (exposed so that tests can compare the page).
const std::array<unsigned char, kStubTemplateSize>& StubTemplate() noexcept;

// Copies the template into a buffer and writes the record's address over both marks.
// False when a mark is missing.
bool PatchStubs(std::array<unsigned char, kStubTemplateSize>& code, const HookRecord* record) noexcept;

// The body and its unwind information, with the counter address written over both counter marks.
// False when a mark is missing.
bool PatchStubBody(std::array<unsigned char, kStubCodeSize - kStubBodyOffset>& code, volatile LONG* counter) noexcept;

// Library initialisation: prepares the stubs (once per process, or again after a copy that
// was unloading) and points the record at this copy's handlers. False without storage.
bool PrepareHookStubs() noexcept;
// Same, with explicit handlers (tests).
bool PrepareHookStubs(HOOKPROC callWndProc, HOOKPROC callWndProcRet) noexcept;

// Library unload: forgets this copy's handlers so that the stubs never jump into an
// unmapped image; hooks then pass straight to the next hook until another copy arrives.
void ReleaseHookStubs() noexcept;
void ReleaseHookStubs(HOOKPROC callWndProc, HOOKPROC callWndProcRet) noexcept;

// The enabled flag: cleared while the application is unloading, set again on reloading.
void SetHookStubsEnabled(bool enabled) noexcept;
[[nodiscard]] bool HookStubsEnabled() noexcept;

// Stub addresses, or null when the stubs are not prepared.
[[nodiscard]] HOOKPROC CallWndProcStub() noexcept;
[[nodiscard]] HOOKPROC CallWndProcRetStub() noexcept;

}  // namespace dl::entry
