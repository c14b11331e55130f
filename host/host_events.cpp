#include "host/host_events.h"

#include "host/host_names.h"

namespace dl::host {

HostEvents::HostEvents() noexcept
    : startup(::CreateEventW(nullptr, FALSE, FALSE, kStartupEventName)),
      shutdown(::CreateEventW(nullptr, FALSE, FALSE, kShutdownEventName)),
      needRelogin(::CreateEventW(nullptr, FALSE, FALSE, kNeedReloginEventName)) {}

}  // namespace dl::host
