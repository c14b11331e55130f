#pragma once
// What the probe DLL reports about its copy of the library.
#include <cstdint>

struct ProbeInfo {
  std::uint64_t busyCounter;
  std::uint64_t hookRecord;
  std::uint64_t stubPage;
  std::uint64_t callWndProcHandler;     // as the record holds it now
  std::uint64_t callWndProcRetHandler;
  std::uint64_t enabled;
};

// The message the probe's thread-hook client counts.
inline constexpr unsigned kProbeMessage = 0x8000 + 0x77;

// The message the test program's own window procedure throws from, counted by the handler of the
// probe's extender.
inline constexpr unsigned kProbeThrowMessage = 0x8000 + 0x78;
