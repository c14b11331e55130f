// Timers on a service window, and the collection that maps WM_TIMER ids to them.
#include <gtest/gtest.h>

#include <memory>

#include "library/runtime/process_local_storage.h"
#include "library/extender/timer_collection.h"
#include "library/extender/utility_window.h"
#include "tests/extender/logged_window.h"

namespace {

using namespace dl::extender;

struct ServiceWindow {
  TimerCollection timers;
  HWND wnd = nullptr;
  void Handle(HWND window, WindowMessage& message) noexcept {
    if (!timers.ProcessMessage(message))
      message.Result = ::DefWindowProcA(window, static_cast<UINT>(message.Msg), message.WParam, message.LParam);
  }
  ServiceWindow() {
    wnd = AllocateUtilityWindow(MakeWndMethod<&ServiceWindow::Handle>(this), HWND_MESSAGE);
    timers.SetWindowHandle(wnd);
  }
  ~ServiceWindow() {
    timers.Clear();
    DeallocateUtilityWindow(wnd);
  }
};

WindowMessage TimerMessage(WPARAM id) { return WindowMessage{WM_TIMER, id, 0, 0}; }

class Timers : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dl::entry::ProcessLocalStorage::Instance().Open()); }
};

TEST_F(Timers, IdSeedMapsWmTimerIdsToTimersByIndex) {
  ServiceWindow service;
  service.timers.SetIdSeed(100);
  int fired[2] = {0, 0};
  Timer* first = service.timers.CreateNewTimer();
  Timer* second = service.timers.CreateNewTimer();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->TimerId(), 100);
  EXPECT_EQ(second->TimerId(), 101);
  first->SetOnTimer([&](Timer&) { ++fired[0]; });
  second->SetOnTimer([&](Timer&) { ++fired[1]; });

  struct Case {
    WindowMessage message;
    bool handled;
    int first, second;
  } cases[] = {
      {TimerMessage(100), true, 1, 0},
      {TimerMessage(101), true, 1, 1},
      {TimerMessage(99), false, 1, 1},
      {TimerMessage(102), false, 1, 1},
      {WindowMessage{WM_APP, 100, 0, 0}, false, 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(service.timers.ProcessMessage(c.message), c.handled) << c.message.WParam;
    EXPECT_EQ(fired[0], c.first);
    EXPECT_EQ(fired[1], c.second);
  }
}

TEST_F(Timers, NoServiceWindowNoTimer) {
  TimerCollection timers;
  EXPECT_EQ(timers.CreateNewTimer(), nullptr);
  EXPECT_FALSE(timers.ProcessMessage(TimerMessage(0)));
}

TEST_F(Timers, EnabledTimerFiresThroughTheWindowAndStopsWhenDisabled) {
  ServiceWindow service;
  service.timers.SetIdSeed(7);
  Timer* timer = service.timers.CreateNewTimer();
  int fired = 0;
  timer->SetInterval(10);
  timer->SetOnTimer([&](Timer& t) {
    ++fired;
    if (fired == 2) t.SetEnabled(false);
  });
  EXPECT_EQ(fired, 0);
  timer->SetEnabled(true);
  ASSERT_TRUE(dl::test::PumpUntil([&] { return fired >= 2; }));
  // Disabled from inside its handler: a generous wait sees no third tick.
  dl::test::PumpUntil([&] { return fired > 2; }, std::chrono::milliseconds(300));
  EXPECT_EQ(fired, 2);
}

TEST_F(Timers, ClearingFromInsideAHandlerClearsOnceAndKeepsTheRunningHandlerAlive) {
  ServiceWindow service;
  service.timers.SetIdSeed(100);
  int destroyed = 0;
  // A handler whose state, when destroyed, clears the collection again (re-entry).
  struct Guard {
    TimerCollection* timers;
    int* destroyed;
    ~Guard() {
      ++*destroyed;
      timers->Clear();
    }
  };
  std::shared_ptr<Guard> guard(new Guard{&service.timers, &destroyed});
  Timer* first = service.timers.CreateNewTimer();
  service.timers.CreateNewTimer();
  bool afterClearStillValid = false;
  first->SetOnTimer([guard = std::move(guard), &afterClearStillValid](Timer& t) {
    guard->timers->Clear();
    afterClearStillValid = t.TimerId() == 100 && guard->destroyed != nullptr;
  });
  EXPECT_TRUE(service.timers.ProcessMessage(TimerMessage(100)));
  EXPECT_TRUE(afterClearStillValid);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(service.timers.Count(), 0u);
  Timer* fresh = service.timers.CreateNewTimer();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->TimerId(), 100);
}

}  // namespace
