#include "library/extender/timer.h"

#include <utility>

namespace dl::extender {

Timer::~Timer() {
  onTimer_ = nullptr;
  enabled_ = false;
  Update();
}

void Timer::SetInterval(UINT interval) {
  if (interval == interval_) return;
  interval_ = interval;
  Update();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Update();
}

void Timer::SetOnTimer(TimerNotify handler) {
  onTimer_ = std::move(handler);
  Update();
}

void Timer::Update() noexcept {
  if (timerId_ != -1) ::KillTimer(windowHandle_, static_cast<UINT_PTR>(timerId_));
  if (interval_ != 0 && enabled_ && onTimer_) ::SetTimer(windowHandle_, static_cast<UINT_PTR>(timerId_), interval_, nullptr);
}

}  // namespace dl::extender
