#pragma once
// The timers of one window extender, all on its service window. Timer ids are dense: the timer
// at index i has id i + the id seed, so a WM_TIMER finds its timer without a search.
#include <windows.h>

#include <memory>
#include <vector>

#include "library/extender/timer.h"
#include "library/extender/wndproc_trampoline.h"

namespace dl::extender {

class TimerCollection {
 public:
  TimerCollection() = default;
  ~TimerCollection();
  TimerCollection(const TimerCollection&) = delete;
  TimerCollection& operator=(const TimerCollection&) = delete;

  // Frees every timer. Safe from inside a timer handler and against re-entry.
  void Clear() noexcept;
  // A new timer on the service window, or null while there is none.
  Timer* CreateNewTimer();
  // Runs the handler of the timer a WM_TIMER names; false for anything else.
  bool ProcessMessage(const WindowMessage& message);

  void SetWindowHandle(HWND window) noexcept { windowHandle_ = window; }
  [[nodiscard]] HWND WindowHandle() const noexcept { return windowHandle_; }
  void SetIdSeed(int seed) noexcept { idSeed_ = seed; }
  [[nodiscard]] int IdSeed() const noexcept { return idSeed_; }
  [[nodiscard]] std::size_t Count() const noexcept { return timers_.size(); }
  [[nodiscard]] Timer* Item(std::size_t index) const noexcept {
    return index < timers_.size() ? timers_[index].get() : nullptr;
  }

 private:
  std::vector<std::unique_ptr<Timer>> timers_;
  // Timers cleared while a handler runs: killed at once, freed when the handler has returned.
  std::vector<std::unique_ptr<Timer>> retired_;
  HWND windowHandle_ = nullptr;
  int idSeed_ = 0;
  bool clearing_ = false;
  int dispatching_ = 0;
};

}  // namespace dl::extender
