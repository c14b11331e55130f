// Bursts of colour and theme changes give one app-frame icon refresh, 300 ms after the last, as
// the service message posted to the window; the timer runs on a real service window.
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <utility>
#include <vector>

#include "library/runtime/process_local_storage.h"
#include "library/extender/color_change_debounce.h"
#include "library/extender/process_flags.h"
#include "library/extender/utility_window.h"
#include "platform/handles.h"
#include "protocol/service_codes.h"
#include "tests/support/pump.h"
#include "tests/support/window_class.h"

namespace {
using namespace dl::extender;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr UINT kServiceMessage = WM_APP + 55;

struct Refreshes {
  ColorChangeDebounce* debounce = nullptr;
  std::vector<Clock::time_point> at;
};

// As the extender's message path does after the window has processed a message.
LRESULT CALLBACK RecordingProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* refreshes = reinterpret_cast<Refreshes*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (refreshes && msg == kServiceMessage && wParam == dl::protocol::kSvcRefreshFrameIcons) {
    refreshes->at.push_back(Clock::now());
    return 0;
  }
  const LRESULT result = ::DefWindowProcW(window, msg, wParam, lParam);
  if (refreshes && refreshes->debounce) refreshes->debounce->OnMessage(msg, lParam, true);
  return result;
}

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

void PumpFor(milliseconds span) {
  const auto until = Clock::now() + span;
  dl::test::PumpUntil([&] { return Clock::now() >= until; }, span + milliseconds(1000));
}

TEST(ColorChangeMessages, ThemeColourAndImmersiveColourSetOnly) {
  if (!OsFlags().win10OrLater) GTEST_SKIP() << "before Windows 10 nothing restarts the timer";
  const wchar_t immersiveW[] = L"ImmersiveColorSet", lowerW[] = L"immersivecolorset", otherW[] = L"Policy";
  const char immersiveA[] = "ImmersiveColorSet";
  struct Case {
    const char* what;
    UINT msg;
    LPARAM lParam;
    bool unicode, expected;
  };
  const Case cases[] = {
      {"theme changed", WM_THEMECHANGED, 0, true, true},
      {"colourization changed", WM_DWMCOLORIZATIONCOLORCHANGED, 0, true, true},
      {"setting ImmersiveColorSet", WM_SETTINGCHANGE, reinterpret_cast<LPARAM>(immersiveW), true, true},
      {"setting in lower case", WM_SETTINGCHANGE, reinterpret_cast<LPARAM>(lowerW), true, true},
      {"setting, ANSI window", WM_SETTINGCHANGE, reinterpret_cast<LPARAM>(immersiveA), false, true},
      {"another setting", WM_SETTINGCHANGE, reinterpret_cast<LPARAM>(otherW), true, false},
      {"setting without text", WM_SETTINGCHANGE, 0, true, false},
      {"something else", WM_SIZE, 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsColorChangeMessage(c.msg, c.lParam, c.unicode), c.expected);
  }
}

TEST(ColorChangeDebounceTest, ThreeChangeMessagesHundredMsApartGiveOneRefresh300MsAfterTheLast) {
  ASSERT_TRUE(dl::entry::ProcessLocalStorage::Instance().Open());
  dl::test::ScopedClass cls(L"DlColourChangeTarget", RecordingProc);
  dl::platform::UniqueWindow target(::CreateWindowExW(0, cls.name(), L"target", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                                      nullptr, nullptr, dl::test::Instance(), nullptr));
  Refreshes refreshes;
  ::SetWindowLongPtrW(target.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&refreshes));
  ServiceWindow service;
  ColorChangeDebounce debounce(service.timers, target.get(), kServiceMessage);

  refreshes.debounce = &debounce;

  // Three kinds of colour change, 100 ms apart, sent to the window as the system would.
  static const wchar_t kImmersive[] = L"ImmersiveColorSet";
  const std::pair<UINT, LPARAM> changes[] = {{WM_THEMECHANGED, 0},
                                             {WM_SETTINGCHANGE, reinterpret_cast<LPARAM>(kImmersive)},
                                             {WM_DWMCOLORIZATIONCOLORCHANGED, 0}};
  Clock::time_point last;
  for (std::size_t i = 0; i < std::size(changes); ++i) {
    if (i) PumpFor(milliseconds(100));
    last = Clock::now();
    ::SendMessageW(target.get(), changes[i].first, 0, changes[i].second);
  }
  if (!OsFlags().win10OrLater) {
    // Before Windows 10 colour changes do not touch the app-frame icons.
    PumpFor(milliseconds(800));
    EXPECT_TRUE(refreshes.at.empty());
    EXPECT_EQ(service.timers.Count(), 0u);
    return;
  }
  ASSERT_TRUE(dl::test::PumpUntil([&] { return !refreshes.at.empty(); }, milliseconds(3000)));
  // Wait as long again for a second refresh that must not come.
  PumpFor(milliseconds(600));
  ASSERT_EQ(refreshes.at.size(), 1u);
  const auto delay = std::chrono::duration_cast<milliseconds>(refreshes.at[0] - last).count();
  // Timer messages may come a tick early or late; the first change was 500 ms before.
  EXPECT_GE(delay, 280);
  EXPECT_LT(delay, 480);
  EXPECT_EQ(service.timers.Count(), 1u);  // one timer, made on first use and reused
}

}  // namespace
