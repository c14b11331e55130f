#include "host/host_events.h"

#include "protocol/object_names.h"

namespace dl::host {

HostEvents::HostEvents() noexcept
    : startup(::CreateEventW(nullptr, FALSE, FALSE, protocol::kStartupEventName)),
      shutdown(::CreateEventW(nullptr, FALSE, FALSE, protocol::kShutdownEventName)),
      needRelogin(::CreateEventW(nullptr, FALSE, FALSE, protocol::kNeedReloginEventName)) {}

}  // namespace dl::host
