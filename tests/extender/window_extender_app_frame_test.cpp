// The extender of an app-frame window, in a process that runs under the frame host's name on a
// system that reports Windows 10: the hosted app's icons replace the frame's at attach, on title
// changes until they are the real ones, and after colour changes; presses on the frame's input
// sink become caption double clicks, since its title bar sends none.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <vector>

#include "library/extender/frame_icons.h"
#include "library/extender/process_flags.h"
#include "library/extender/window_extender.h"
#include "platform/registered_messages.h"
#include "tests/extender/window_parts_fixture.h"
#include "tests/support/pump.h"
#include "tests/extender/services_test_support.h"
#include "tests/support/window_class.h"

namespace dl::extender {
namespace {

using std::chrono::milliseconds;
using test::PumpUntil;

// The hosted app as the lookup finds it; every answer is a fresh copy, as the frame takes it over.
struct HostedApp {
  int lookups = 0;
  bool placeholder = false;
  HICON large = nullptr;
  HICON small = nullptr;
};
HostedApp g_app;

HostedAppIcons LookUp(HWND, int, int) noexcept {
  ++g_app.lookups;
  return HostedAppIcons{{::CopyIcon(g_app.large), g_app.placeholder}, {::CopyIcon(g_app.small), false}};
}

// Presses that reach the input sink's own procedure.
int g_sinkPresses = 0;
LRESULT CALLBACK SinkProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_LBUTTONDOWN) ++g_sinkPresses;
  return ::DefWindowProcW(wnd, msg, wp, lp);
}

class AppFrameTest : public ExtenderFixture {
 protected:
  void SetUp() override {
    ExtenderFixture::SetUp();
    if (!CurrentProcessFlags().frameHost) GTEST_SKIP() << "runs as the frame host on a Windows 10 system only";
    g_app = HostedApp{};
    g_app.large = test::MakeTestIcon(32);
    g_app.small = test::MakeTestIcon(16);
    g_sinkPresses = 0;
    SetHostedAppIconLookup(&LookUp);
    frame = ::CreateWindowExW(0, frameClass.name(), L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 300,
                              nullptr, nullptr, test::Instance(), nullptr);
    ASSERT_TRUE(frame);
    RECT client{};
    ::GetClientRect(frame, &client);
    sink = ::CreateWindowExW(0, sinkClass.name(), L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom, frame,
                             nullptr, test::Instance(), nullptr);
    ASSERT_TRUE(sink);
  }
  void TearDown() override {
    if (frame && ::IsWindow(frame)) ::DestroyWindow(frame);
    SetHostedAppIconLookup(nullptr);
    if (g_app.large) ::DestroyIcon(g_app.large);
    if (g_app.small) ::DestroyIcon(g_app.small);
    g_app = HostedApp{};
    ExtenderFixture::TearDown();
  }
  model::RefPtr<TWindowExtender> Attach() {
    auto ext = CreateAttached(L"\\action=TESTACTION{name=Part}", frame);
    EXPECT_TRUE(ext && ext->IsApplicationFrameWindow());
    return ext;
  }
  HICON BigIcon() const { return reinterpret_cast<HICON>(::SendMessageW(frame, WM_GETICON, ICON_BIG, 0)); }
  void ColourChangeAndWait(TWindowExtender& ext) {
    const int before = g_app.lookups;
    ::SendMessageW(frame, WM_THEMECHANGED, 0, 0);
    ASSERT_TRUE(ext.ColorChangePending());
    ASSERT_TRUE(PumpUntil([&] { return !ext.ColorChangePending(); }, milliseconds(3000)));
    PumpUntil([&] { return g_app.lookups > before; }, milliseconds(500));
  }

  test::ScopedClass frameClass{L"ApplicationFrameWindow"};
  test::ScopedClass sinkClass{L"ApplicationFrameInputSinkWindow", SinkProc};
  HWND frame = nullptr;
  HWND sink = nullptr;
};

TEST_F(AppFrameTest, TheHostedAppsIconsArriveAtAttachAndAgainAfterAColourChange) {
  auto ext = Attach();
  // The attach notice comes through the window's queue.
  ASSERT_TRUE(PumpUntil([&] { return g_app.lookups > 0; }));
  EXPECT_EQ(g_app.lookups, 1);
  EXPECT_NE(BigIcon(), nullptr);
  // Real icons: title changes do not ask again.
  ::SetWindowTextW(frame, L"another title");
  EXPECT_EQ(g_app.lookups, 1);

  ColourChangeAndWait(*ext);
  EXPECT_EQ(g_app.lookups, 2);
  // An icon an action changed is left alone.
  ext->SetProp(kIconChangedProperty, 1);
  const HICON actionsIcon = BigIcon();
  ColourChangeAndWait(*ext);
  EXPECT_EQ(g_app.lookups, 2);
  EXPECT_EQ(BigIcon(), actionsIcon);
}

TEST_F(AppFrameTest, WhileOnlyThePlaceholderCameTitleChangesAskAgain) {
  g_app.placeholder = true;
  auto ext = Attach();
  ASSERT_TRUE(PumpUntil([&] { return g_app.lookups > 0; }));
  ::SetWindowTextW(frame, L"loading");
  EXPECT_EQ(g_app.lookups, 2);
  g_app.placeholder = false;
  ::SetWindowTextW(frame, L"loaded");
  EXPECT_EQ(g_app.lookups, 3);
  ::SetWindowTextW(frame, L"loaded again");
  EXPECT_EQ(g_app.lookups, 3);
}

TEST_F(AppFrameTest, TwoPressesOnTheInputSinkOverTheCaptionAreACaptionDoubleClick) {
  RECT rc{};
  ::GetWindowRect(frame, &rc);
  // Inside the frame, below its doubled top sizing band, within the caption band.
  const POINT caption{(rc.left + rc.right) / 2, rc.top + 2 * ::GetSystemMetrics(SM_CYFRAME) + 3};
  const POINT lower{(rc.left + rc.right) / 2, rc.bottom - 40};
  struct Case {
    const char* what;
    POINT cursor;
    bool claimed;
    bool doubleClickSeen;
    int pressesAtTheSink;  // of the two
  } cases[] = {
      {"claimed over the caption", caption, true, true, 1},
      {"unclaimed over the caption", caption, false, true, 2},
      {"below the caption", lower, true, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_sinkPresses = 0;
    auto ext = Attach();
    model::RefPtr<TestHandler> handler(new TestHandler('h', nullptr));
    if (c.claimed) handler->claims = WM_NCLBUTTONDBLCLK;
    WPARAM hitCode = 0;
    LPARAM position = 0;
    handler->onBefore = [&](WindowMessage& m) {
      if (m.Msg == WM_NCLBUTTONDBLCLK) {
        hitCode = m.WParam;
        position = m.LParam;
      }
    };
    ext->AttachMessageHandler(handler.Get());
    ASSERT_TRUE(::SetCursorPos(c.cursor.x, c.cursor.y));
    POINT at{};
    ASSERT_TRUE(PumpUntil([&] { return ::GetCursorPos(&at) && at.x == c.cursor.x && at.y == c.cursor.y; }));

    ::SendMessageW(sink, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ::SendMessageW(sink, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(hitCode != 0, c.doubleClickSeen);
    if (c.doubleClickSeen) {
      EXPECT_EQ(hitCode, static_cast<WPARAM>(HTCAPTION));
      EXPECT_EQ(position, MAKELPARAM(c.cursor.x, c.cursor.y));
    }
    EXPECT_EQ(g_sinkPresses, c.pressesAtTheSink);
    if (c.doubleClickSeen) {
      // A third press right after a double click is swallowed; one after the double-click time is not.
      ::SendMessageW(sink, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      EXPECT_EQ(g_sinkPresses, c.pressesAtTheSink);
      PumpUntil([] { return false; }, milliseconds(::GetDoubleClickTime() + 100));
      ::SendMessageW(sink, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      EXPECT_EQ(g_sinkPresses, c.pressesAtTheSink + 1);
    }
    ext->DetachMessageHandler(handler.Get());
    ::SendMessageW(frame, platform::ServiceMessage(), kSvcCloseRequest, 0);
    EXPECT_EQ(ext->GetWnd(), nullptr);
  }
}

}  // namespace
}  // namespace dl::extender
