#pragma once
// The registered messages and atoms as this process's library copy obtained them.
#include <windows.h>

namespace dl::entry {

struct SharedMessages {
  UINT service = 0;
  UINT handshake = 0;
  UINT winEvent = 0;
  UINT internal = 0;
  UINT tray = 0;
  UINT taskbarCreated = 0;
  ATOM noninvasiveAtom = 0;  // global atom, a window property name
};

// Registers everything once at library initialisation; cheap to call again.
void RegisterSharedMessages() noexcept;
// Drops the global atom reference taken at registration (library leaving a live process).
void ReleaseSharedAtoms() noexcept;
const SharedMessages& Messages() noexcept;

}  // namespace dl::entry
