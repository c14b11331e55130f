#pragma once
// Asks the library inside another process what it did there (its read-only diagnostics query).
#include <windows.h>

#include <optional>

#include "tools/devcenter/ready_window.h"

namespace dl::devcenter {

// The library's entry-state bits in process `processId`, or nullopt when no window of that
// process answered before the deadline (no library there, or no window yet).
std::optional<unsigned> QueryLibraryState(DWORD processId, ReadyWindow& window, DWORD timeoutMs);

}  // namespace dl::devcenter
