#include "library/extender/monitor_subscription.h"

#include <atomic>

namespace dl::extender {
namespace {

constinit std::atomic<void (*)(IMMCenterSubscriber*) noexcept> g_subscribe{nullptr};
constinit std::atomic<void (*)(IMMCenterSubscriber*) noexcept> g_unsubscribe{nullptr};

}  // namespace

void SetMonitorSubscriptionRoutines(MonitorSubscriptionRoutines routines) noexcept {
  g_subscribe.store(routines.subscribe, std::memory_order_release);
  g_unsubscribe.store(routines.unsubscribe, std::memory_order_release);
}

void SubscribeToMonitorUpdates(IMMCenterSubscriber* subscriber) noexcept {
  if (auto subscribe = g_subscribe.load(std::memory_order_acquire)) subscribe(subscriber);
}

void UnsubscribeFromMonitorUpdates(IMMCenterSubscriber* subscriber) noexcept {
  if (auto unsubscribe = g_unsubscribe.load(std::memory_order_acquire)) unsubscribe(subscriber);
}

}  // namespace dl::extender
