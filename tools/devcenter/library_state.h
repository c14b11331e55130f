#pragma once
// Asks the library inside another process what it did there (its read-only diagnostics query).
#include <windows.h>

#include <cstdint>
#include <optional>

#include "tools/devcenter/ready_window.h"

namespace dl::devcenter {

// The library's entry-state bits in process `processId`, or nullopt when no window of that
// process answered before the deadline (no library there, or no window yet).
std::optional<unsigned> QueryLibraryState(DWORD processId, ReadyWindow& window, DWORD timeoutMs);

// Asks the library in that process to send the main program its diagnostics request (the
// request path end to end). False when the process has no visible window.
bool RequestDiagnosticRequest(DWORD processId, UINT serviceMessage, std::uint32_t commandCode);

}  // namespace dl::devcenter
