#pragma once
// The library's client of the per-thread hook procedures: turns sent messages, their
// returns and window events into calls on the rule dispatcher and the extenders.
#include "library/entry/thread_hook_procs.h"

namespace dl::entry {

// The process's client, never destroyed; library initialisation installs it.
[[nodiscard]] ThreadHookClient& LibraryThreadHookClient() noexcept;

}  // namespace dl::entry
