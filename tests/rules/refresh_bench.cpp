// A rule change reaching a process with 100 top-level windows: the dispatcher's refresh runs
// on this thread (as on the messenger client's), the windows live on a thread of their own that
// pumps, as an application's GUI thread does. Measures the time from the command until every
// window carries its new rule and has its extender again, counts the service messages each
// window got, and sets the time against one SendMessage round trip per window in the same run.
// Fails only when a window is told twice or never reaches its new state.
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "library/rules/window_marks.h"
#include "platform/registered_messages.h"
#include "tests/rules/dispatcher_fixture.h"
#include "tests/support/pump.h"

namespace {
using namespace dl::rules;
using namespace dl::rules::test;
using Clock = std::chrono::steady_clock;

constexpr int kWindows = 100;
constexpr int kRounds = 7;

std::array<HWND, kWindows> g_windows{};
std::array<std::atomic<int>, kWindows> g_told{};

LRESULT CALLBACK CountingWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == dl::platform::ServiceMessage() && (wParam == 2 || wParam == 3))
    for (int i = 0; i < kWindows; ++i)
      if (g_windows[i] == wnd) g_told[i].fetch_add(1, std::memory_order_relaxed);
  return RecordingWndProc(wnd, msg, wParam, lParam);
}

std::wstring Params(int round) { return L"\\window_rule_name=" + std::to_wstring(round); }

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main() {
  dl::test::ScopedClass cls{L"DlBenchCrowd", CountingWndProc};
  DispatcherFixture f{{{L"DlBenchCrowd", "Crowd", RuleType::rtSpecific, 1000, Params(0), ""}}};
  RouteServiceCommandsTo(f.dispatcher.Get());
  TRuleDispatcher& d = *f.dispatcher;
  std::atomic<bool> ready{false}, stop{false};
  std::thread app([&] {
    std::vector<std::unique_ptr<TestWindow>> own;
    for (int i = 0; i < kWindows; ++i) {
      own.push_back(std::make_unique<TestWindow>(L"DlBenchCrowd", L"crowd", true));
      g_windows[i] = own.back()->get();
      d.ConsiderWindow(g_windows[i], kReasonEvent, 0, 0);
    }
    ready = true;
    while (!stop) dl::test::PumpUntil([&] { return stop.load(); }, std::chrono::milliseconds(50));
    for (auto& w : own) {
      HWND wnd = w->get();
      w->Destroy();
      d.UnregisterWindow(wnd, kUnregDestroyed);
    }
  });
  while (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  double bestRefresh = 1e9, bestBaseline = 1e9;
  int maxTold = 0, totalTold = 0;
  bool allReached = true;
  for (int round = 1; round <= kRounds && allReached; ++round) {
    // Baseline: one round trip to each window's thread.
    auto a = Clock::now();
    for (HWND wnd : g_windows) ::SendMessageW(wnd, WM_NULL, 0, 0);
    bestBaseline = std::min(bestBaseline, Seconds(Clock::now() - a));

    for (auto& t : g_told) t = 0;
    const std::uint32_t crc = 1000 + static_cast<std::uint32_t>(round);
    f.blocks->blocks[static_cast<std::uint32_t>(round + 1)] = {
        {L"DlBenchCrowd", "Crowd", RuleType::rtSpecific, crc, Params(round), ""}};
    f.blocks->currentId = static_cast<std::uint32_t>(round + 1);
    a = Clock::now();
    d.OnMessageFromServer(2, {});
    const auto deadline = a + std::chrono::seconds(20);
    bool done = false;
    while (!done && Clock::now() < deadline) {
      done = std::all_of(g_windows.begin(), g_windows.end(), [&](HWND wnd) {
        return ReadWindowMarks(wnd) == std::optional<std::uint32_t>(crc) && d.IsWindowExtended(wnd);
      });
      if (!done) std::this_thread::yield();
    }
    const double took = Seconds(Clock::now() - a);
    allReached = done;
    if (done) bestRefresh = std::min(bestRefresh, took);
    int sent = 0;
    for (auto& t : g_told) {
      sent += t.load();
      maxTold = std::max(maxTold, t.load());
    }
    totalTold = sent;
  }
  stop = true;
  app.join();

  std::printf("refresh of %d windows after a rule change: %.2f ms until every window has its new rule\n", kWindows,
              1e3 * bestRefresh);
  std::printf("service messages sent: %d in the last round, at most %d to one window (goal: 1 each)\n", totalTold,
              maxTold);
  std::printf("one SendMessage round trip per window: %.2f ms; ratio refresh / round trips %.1f\n", 1e3 * bestBaseline,
              bestRefresh / bestBaseline);
  if (!allReached) {
    std::puts("bench: a window did not reach its new rule");
    return 1;
  }
  if (maxTold != 1 || totalTold != kWindows) {
    std::puts("bench: a window was told more than once, or not at all");
    return 1;
  }
  return 0;
}
