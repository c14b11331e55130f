#pragma once
// The single-instance marker: a 16-byte page-file mapping holding the owner's
// process id and a window handle (always 0 for the host).
#include "platform/handles.h"

namespace dl::host {

class SingleInstance {
 public:
  // Returns false when another process already holds the marker.
  [[nodiscard]] bool Acquire() noexcept;

 private:
  platform::UniqueHandle mapping_;  // kept open until the program ends
};

}  // namespace dl::host
