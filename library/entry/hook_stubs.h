#pragma once
// The two per-thread hook stubs: tiny procedures in the process-wide stub page through which
// WH_CALLWNDPROC and WH_CALLWNDPROCRET hooks reach whichever copy of the library is current.
// Hooks installed by an earlier copy keep working after it is gone.
#include <windows.h>

#include <array>
#include <cstddef>

#include "library/runtime/hook_record.h"

namespace dl::entry {

inline constexpr std::size_t kStubTemplateSize = 128;

// The template with both marks unpatched (exposed so that tests can compare the page).
const std::array<unsigned char, kStubTemplateSize>& StubTemplate() noexcept;

// Copies the template into a buffer and writes the record's address over both marks.
// False when a mark is missing.
bool PatchStubs(std::array<unsigned char, kStubTemplateSize>& code, const HookRecord* record) noexcept;

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
