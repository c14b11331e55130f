#pragma once
// A timer that runs through WM_TIMER messages of a window (the extender's service window), so
// its handler always runs on that window's thread.
#include <windows.h>

#include <functional>

namespace dl::extender {

class Timer;
using TimerNotify = std::function<void(Timer&)>;

class Timer {
 public:
  explicit Timer(HWND window) noexcept : windowHandle_(window) {}
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  [[nodiscard]] UINT Interval() const noexcept { return interval_; }
  void SetInterval(UINT interval);
  [[nodiscard]] bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled);
  [[nodiscard]] const TimerNotify& OnTimer() const noexcept { return onTimer_; }
  void SetOnTimer(TimerNotify handler);

  [[nodiscard]] int TimerId() const noexcept { return timerId_; }
  void SetTimerId(int id) noexcept { timerId_ = id; }
  [[nodiscard]] HWND WindowHandle() const noexcept { return windowHandle_; }

 private:
  // Kills the running timer and starts it again when interval, enabled flag and handler allow.
  void Update() noexcept;

  UINT interval_ = 1000;
  HWND windowHandle_;
  TimerNotify onTimer_;
  bool enabled_ = false;
  int timerId_ = -1;
};

}  // namespace dl::extender
