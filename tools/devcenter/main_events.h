#pragma once
// The three named events the main program shares with the host.
#include "platform/handles.h"

namespace dl::devcenter {

class MainEvents {
 public:
  // Creates the events (auto-reset, not signalled) or shares existing ones; throws when that fails.
  MainEvents();

  // Clears all three: the host sets the shutdown event on every exit, and an
  // earlier run may have left any of them signalled.
  void Reset() noexcept;

  [[nodiscard]] HANDLE Startup() const noexcept { return startup_.get(); }
  [[nodiscard]] HANDLE Shutdown() const noexcept { return shutdown_.get(); }
  [[nodiscard]] HANDLE NeedRelogin() const noexcept { return needRelogin_.get(); }

  // Tells the host to stop.
  void RequestShutdown() noexcept;

 private:
  platform::UniqueHandle startup_;
  platform::UniqueHandle shutdown_;
  platform::UniqueHandle needRelogin_;
};

// Whether an auto-reset event is signalled; looking consumes the signal.
bool TakeSignal(HANDLE event) noexcept;

}  // namespace dl::devcenter
