#include "library/extender/timer_collection.h"

#include <utility>

namespace dl::extender {

TimerCollection::~TimerCollection() { Clear(); }

void TimerCollection::Clear() noexcept {
  if (clearing_) return;
  clearing_ = true;
  std::vector<std::unique_ptr<Timer>> timers = std::move(timers_);
  timers_.clear();
  for (auto& timer : timers) timer->SetEnabled(false);
  if (dispatching_ > 0) {
    // A handler of one of these timers is running: its object must outlive the call.
    for (auto& timer : timers) retired_.push_back(std::move(timer));
  }
  timers.clear();
  clearing_ = false;
}

Timer* TimerCollection::CreateNewTimer() {
  if (!windowHandle_) return nullptr;
  auto timer = std::make_unique<Timer>(windowHandle_);
  timer->SetTimerId(static_cast<int>(timers_.size()) + idSeed_);
  timers_.push_back(std::move(timer));
  return timers_.back().get();
}

bool TimerCollection::ProcessMessage(const WindowMessage& message) {
  if (message.Msg != WM_TIMER || !windowHandle_ || clearing_) return false;
  const auto index = static_cast<long long>(message.WParam) - idSeed_;
  if (index < 0 || index >= static_cast<long long>(timers_.size())) return false;
  Timer* timer = timers_[static_cast<std::size_t>(index)].get();
  if (timer->OnTimer()) {
    ++dispatching_;
    struct Leave {
      TimerCollection& self;
      ~Leave() {
        if (--self.dispatching_ == 0) self.retired_.clear();
      }
    } leave{*this};
    // A copy: the handler may replace itself or clear the collection while it runs.
    const TimerNotify handler = timer->OnTimer();
    handler(*timer);
  }
  return true;
}

}  // namespace dl::extender
