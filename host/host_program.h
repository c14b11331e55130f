#pragma once

namespace dl::host {
// Runs the host from the process's command line; returns the exit code.
int RunHost() noexcept;
}  // namespace dl::host
