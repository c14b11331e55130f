#pragma once
// How a window extender hears of monitor changes: it subscribes to the process's multi-monitor
// center client. The client installs its subscribe/unsubscribe routines here when it exists;
// until then subscribing does nothing and no update arrives.
#include "library/model/interfaces.h"

namespace dl::extender {

enum class TMMCenterUpdateType { mmcutAllInfo = 0, mmcutMonitorsOnly = 1 };

struct IMMCenterSubscriber : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{6D3E8B20-4A71-4F9C-B5E2-09C7D1A8F364}");
  virtual void OnMMCenterUpdate(TMMCenterUpdateType reason) = 0;
};

struct MonitorSubscriptionRoutines {
  void (*subscribe)(IMMCenterSubscriber*) noexcept = nullptr;
  void (*unsubscribe)(IMMCenterSubscriber*) noexcept = nullptr;
};

// Set by the monitor client while it lives; both null again when it goes.
void SetMonitorSubscriptionRoutines(MonitorSubscriptionRoutines routines) noexcept;
void SubscribeToMonitorUpdates(IMMCenterSubscriber* subscriber) noexcept;
void UnsubscribeFromMonitorUpdates(IMMCenterSubscriber* subscriber) noexcept;

}  // namespace dl::extender
