#pragma once
// How a window extender hears of monitor changes: it subscribes to the process's multi-monitor
// center client. The library's start connects the center's subscribe/unsubscribe routines
// here once the center exists; until then subscribing does nothing and no update arrives.
#include "library/link/monitor_center_interfaces.h"

namespace dl::extender {

// The subscriber interface belongs to the center, one layer down.
using link::IMMCenterSubscriber;
using link::TMMCenterUpdateType;

struct MonitorSubscriptionRoutines {
  void (*subscribe)(IMMCenterSubscriber*) noexcept = nullptr;
  void (*unsubscribe)(IMMCenterSubscriber*) noexcept = nullptr;
};

// Set by the monitor client while it lives; both null again when it goes.
void SetMonitorSubscriptionRoutines(MonitorSubscriptionRoutines routines) noexcept;
void SubscribeToMonitorUpdates(IMMCenterSubscriber* subscriber) noexcept;
void UnsubscribeFromMonitorUpdates(IMMCenterSubscriber* subscriber) noexcept;

}  // namespace dl::extender
