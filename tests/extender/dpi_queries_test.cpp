// DPI answers for real windows at the prefix's DPI: the system, monitor and window values, the
// per-window cache and its clearing after WM_DPICHANGED, the target rectangle that replaces the
// system's suggestion. The expected DPI comes from DL_EXPECTED_DPI (96 unless the prefix is set
// otherwise).
#include <gtest/gtest.h>

#include "library/extender/dpi_queries.h"
#include "library/extender/process_flags.h"
#include "library/extender/system_functions.h"
#include "platform/handles.h"
#include "tests/extender/services_test_support.h"
#include "tests/support/window_class.h"

namespace {
using namespace dl::extender;

using dl::test::ExpectedDpi;

struct DpiWindow {
  WindowDpiCache cache;
  RECT seenSuggestion{};
};

LRESULT CALLBACK DpiProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DpiWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!state) return ::DefWindowProcW(window, msg, wParam, lParam);
  // As the extender's message path does: before, the window itself, after.
  if (msg == WM_DPICHANGED) state->cache.BeforeDpiChanged(lParam);
  LRESULT result = 0;
  if (msg == WM_DPICHANGED)
    state->seenSuggestion = *reinterpret_cast<RECT*>(lParam);
  else
    result = ::DefWindowProcW(window, msg, wParam, lParam);
  state->cache.AfterMessage(msg);
  return result;
}

class DpiQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.reset(::CreateWindowExW(0, class_.name(), L"dpi", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200,
                                    nullptr, nullptr, dl::test::Instance(), nullptr));
    ASSERT_TRUE(window_);
    ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state_));
  }
  dl::test::ScopedClass class_{L"DlDpiWindow", DpiProc};
  dl::platform::UniqueWindow window_;
  DpiWindow state_;
};

TEST_F(DpiQueries, SystemMonitorAndWindowAnswerThePrefixDpi) {
  const UINT dpi = ExpectedDpi();
  EXPECT_EQ(SystemDpi(), dpi);
  EXPECT_EQ(MonitorDpiAt(POINT{10, 10}), dpi);
  EXPECT_EQ(QueryWindowDpi(window_.get()), dpi);
  EXPECT_EQ(QueryWindowNonClientDpi(window_.get(), false), dpi);
  EXPECT_EQ(QueryWindowNonClientDpi(window_.get(), true), dpi);
  // Wine offers the per-window query; its answer is what the window DPI is built on.
  ASSERT_NE(User32Dpi().getDpiForWindow, nullptr);
  EXPECT_EQ(User32Dpi().getDpiForWindow(window_.get()), dpi);
}

TEST_F(DpiQueries, BothCachesFillOnFirstUseAndClearAfterDpiChanged) {
  const UINT dpi = ExpectedDpi();
  WindowDpiCache& cache = state_.cache;
  EXPECT_EQ(cache.CachedWindowDpi(), 0u);
  EXPECT_EQ(cache.CachedWindowNonClientDpi(), 0u);
  EXPECT_EQ(cache.GetWindowNonClientDPI(window_.get(), true), dpi);
  // From Windows 10 on an app frame's non-client DPI is its window DPI, which goes through the
  // cache too; before, it is the system DPI alone.
  EXPECT_EQ(cache.CachedWindowDpi(), OsFlags().win10OrLater ? dpi : 0u);
  EXPECT_EQ(cache.GetWindowDPI(window_.get()), dpi);
  EXPECT_EQ(cache.CachedWindowDpi(), dpi);
  EXPECT_EQ(cache.CachedWindowNonClientDpi(), dpi);

  RECT suggested{1, 2, 3, 4};
  ::SendMessageW(window_.get(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(cache.CachedWindowDpi(), 0u);
  EXPECT_EQ(cache.CachedWindowNonClientDpi(), 0u);
  EXPECT_EQ(state_.seenSuggestion.right, 3);  // no target rectangle: the system's suggestion stands
  EXPECT_EQ(cache.GetWindowDPI(window_.get()), dpi);
  EXPECT_EQ(cache.CachedWindowDpi(), dpi);
}

TEST_F(DpiQueries, ATargetRectangleReplacesTheSuggestionUntilReset) {
  state_.cache.SetTargetRectForDPIChange(RECT{10, 20, 410, 320});
  RECT suggested{1, 2, 3, 4};
  ::SendMessageW(window_.get(), WM_DPICHANGED, 0, reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(state_.seenSuggestion.left, 10);
  EXPECT_EQ(state_.seenSuggestion.bottom, 320);
  state_.cache.ResetTargetRectForDPIChange();
  suggested = RECT{1, 2, 3, 4};
  ::SendMessageW(window_.get(), WM_DPICHANGED, 0, reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(state_.seenSuggestion.left, 1);
}

TEST(ThreadDpiAwarenessSwitch, OnlyWhereUsedAndTheContextComesBack) {
  // This test program is no Office process: no switch.
  EXPECT_FALSE(ProcessUsesThreadDpiAwareness());
  {
    ScopedThreadDpiAwareness unused;
    EXPECT_FALSE(unused.Switched());
  }
  const auto& user32 = User32Dpi();
  if (!user32.setThreadDpiAwarenessContext) GTEST_SKIP() << "no thread DPI awareness on this system";
  using GetContext = HANDLE(WINAPI*)();
  using AreEqual = BOOL(WINAPI*)(HANDLE, HANDLE);
  const HMODULE module = ::GetModuleHandleW(L"user32.dll");
  const auto get = reinterpret_cast<GetContext>(reinterpret_cast<void*>(::GetProcAddress(module, "GetThreadDpiAwarenessContext")));
  const auto equal = reinterpret_cast<AreEqual>(reinterpret_cast<void*>(::GetProcAddress(module, "AreDpiAwarenessContextsEqual")));
  ASSERT_TRUE(get && equal);
  const HANDLE before = get();
  const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
  {
    ScopedThreadDpiAwareness used(true);
    // A system that does not know per-monitor awareness version 2 refuses it: then nothing changed.
    EXPECT_EQ(used.Switched(), equal(get(), perMonitorV2) != FALSE);
    if (!used.Switched()) {
      EXPECT_TRUE(equal(get(), before));
    }
  }
  EXPECT_TRUE(equal(get(), before));
}

}  // namespace
