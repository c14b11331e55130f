// The search for the ribbon/menu-bar child of Office-style frames, on real windows under Wine:
// one search 300 ms after the first subscription, then one a second for up to 20 attempts.
#include <gtest/gtest.h>

#include <chrono>

#include "library/extender/window_extender.h"
#include "tests/extender/window_parts_fixture.h"
#include "tests/extender/logged_window.h"
#include "tests/support/bin_dir.h"

namespace dl::extender {
namespace {

using Clock = std::chrono::steady_clock;
using test::PumpUntil;

class MenuBarProbe : public model::TInterfacedObject, public virtual IOffice2007MenuBarMessageHandler {
 public:
  bool BeforeChildMessage(HWND, WindowMessage& m) override {
    messages += m.Msg == WM_APP;
    return false;
  }
  void AfterChildMessage(HWND, WindowMessage&, bool) override {}
  void WindowSubclassed() override { ++subclassed; }
  int subclassed = 0;
  int messages = 0;

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override {
    if (iid == IOffice2007MenuBarMessageHandler::kIid) return static_cast<IOffice2007MenuBarMessageHandler*>(this);
    if (iid == IChildMessageHandler::kIid) return static_cast<IChildMessageHandler*>(this);
    return TInterfacedObject::FindInterface(iid);
  }
};

class MenuBarSearchTest : public ExtenderFixture {
 protected:
  void SetUp() override {
    ExtenderFixture::SetUp();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"NetUIHWND";
    ::RegisterClassW(&wc);
    frame = test::CreateLoggedWindow(&wlog);
    ::ShowWindow(frame, SW_SHOWNOACTIVATE);
    ext = CreateAttached(L"", frame);
    probe = new MenuBarProbe();
  }
  void TearDown() override {
    ::DestroyWindow(frame);
    ext.Reset();
    ExtenderFixture::TearDown();
  }
  // A ribbon child along the top of the frame's client area, created after the delay.
  HWND MenuBarAfter(std::chrono::milliseconds delay, Clock::time_point start) {
    PumpUntil([&] { return Clock::now() - start >= delay; }, delay + std::chrono::seconds(1));
    RECT client{};
    ::GetClientRect(frame, &client);
    return ::CreateWindowExW(0, L"NetUIHWND", L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right, 20, frame, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
  }
  // The attempt that found the menu bar: the failures before it used up one attempt each.
  int FindingAttempt() const { return kAttempts + 1 - ext->OfficeSearchAttemptsLeft(); }

  static constexpr int kAttempts = 20;
  test::WindowLog wlog;
  HWND frame = nullptr;
  model::RefPtr<TWindowExtender> ext;
  model::RefPtr<MenuBarProbe> probe;
};

TEST_F(MenuBarSearchTest, AMenuBarThatAppearsAfterFiveSecondsIsFoundByTheSixthAttempt) {
  const auto start = Clock::now();
  ext->Office2007SubclassingSubscribe(probe.Get());
  EXPECT_TRUE(ext->OfficeSearchActive());
  HWND menuBar = MenuBarAfter(std::chrono::milliseconds(5000), start);
  ASSERT_TRUE(menuBar);
  ASSERT_TRUE(PumpUntil([&] { return probe->subclassed > 0; }, std::chrono::seconds(3)));
  EXPECT_EQ(ext->GetOffice2007MenuBarWnd(), menuBar);
  // Searches at 0.3, 1.3, 2.3, 3.3, 4.3 and 5.3 s: the sixth (the seventh on a slow machine).
  EXPECT_GE(FindingAttempt(), 6);
  EXPECT_LE(FindingAttempt(), 7);
  // The handler sees the menu bar's messages.
  ::SendMessageW(menuBar, WM_APP, 0, 0);
  EXPECT_EQ(probe->messages, 1);
  // Hidden, the menu bar is let go and searched for again.
  ::ShowWindow(menuBar, SW_HIDE);
  EXPECT_TRUE(PumpUntil([&] { return ext->GetOffice2007MenuBarWnd() == nullptr; }, std::chrono::seconds(2)));
  ext->Office2007SubclassingUnsubscribe(probe.Get());
  EXPECT_FALSE(ext->OfficeSearchActive());
  EXPECT_EQ(ext->SubclassedChildCount(), 0u);
}

TEST_F(MenuBarSearchTest, AMenuBarThatAppearsAfterTheLastAttemptIsFoundOnlyAfterAResubscription) {
  const auto start = Clock::now();
  ext->Office2007SubclassingSubscribe(probe.Get());
  HWND menuBar = MenuBarAfter(std::chrono::milliseconds(20500), start);
  ASSERT_TRUE(menuBar);
  EXPECT_EQ(ext->OfficeSearchAttemptsLeft(), 0);
  PumpUntil([] { return false; }, std::chrono::milliseconds(1500));
  EXPECT_EQ(probe->subclassed, 0);
  EXPECT_EQ(ext->GetOffice2007MenuBarWnd(), nullptr);
  ext->Office2007SubclassingUnsubscribe(probe.Get());
  ext->Office2007SubclassingSubscribe(probe.Get());
  EXPECT_TRUE(PumpUntil([&] { return probe->subclassed > 0; }, std::chrono::seconds(2)));
  EXPECT_EQ(ext->GetOffice2007MenuBarWnd(), menuBar);
  EXPECT_EQ(FindingAttempt(), 1);
}

}  // namespace
}  // namespace dl::extender
