#pragma once
// The three named events shared with the main program.
#include "platform/handles.h"

namespace dl::host {

struct HostEvents {
  // Creates them (auto-reset, not signalled) or opens the main program's.
  HostEvents() noexcept;

  platform::UniqueHandle startup;
  platform::UniqueHandle shutdown;
  platform::UniqueHandle needRelogin;
};

}  // namespace dl::host
