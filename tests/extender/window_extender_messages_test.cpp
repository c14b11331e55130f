// The extender's message path on real windows under Wine: handlers around the window's own
// procedure, the service codes, close requests while nested, colour-change messages and
// child-window subclassing.
#include <gtest/gtest.h>

#include "library/extender/process_flags.h"
#include "library/extender/window_extender.h"
#include "library/link/process_monitor_center.h"
#include "platform/registered_messages.h"
#include "tests/extender/window_parts_fixture.h"
#include "tests/extender/logged_window.h"

namespace dl::extender {
namespace {

using test::PumpUntil;

class MessagePathTest : public ExtenderFixture {
 protected:
  void SetUp() override {
    ExtenderFixture::SetUp();
    wnd = test::CreateLoggedWindow(&wlog);
    ext = CreateAttached(L"", wnd);
  }
  void TearDown() override {
    if (::IsWindow(wnd)) ::DestroyWindow(wnd);
    ext.Reset();
    ExtenderFixture::TearDown();
  }
  model::RefPtr<TestHandler> AddHandler(char tag) {
    model::RefPtr<TestHandler> h(new TestHandler(tag, &order));
    ext->AttachMessageHandler(h.Get());
    return h;
  }

  test::WindowLog wlog;
  HWND wnd = nullptr;
  model::RefPtr<TWindowExtender> ext;
  std::vector<char> order;
};

TEST_F(MessagePathTest, AClaimedMessageSkipsTheWindowProcedureYetEveryAfterMessageRuns) {
  auto a = AddHandler('a'), b = AddHandler('b'), c = AddHandler('c');
  b->claims = WM_APP;
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0);
  EXPECT_EQ(wlog.count(WM_APP), 0);
  for (auto* h : {a.Get(), b.Get(), c.Get()}) {
    ASSERT_FALSE(h->after.empty());
    EXPECT_EQ(h->after.back(), std::make_pair(UINT(WM_APP), true));
  }
  // Unclaimed: the window answers, and the handlers hear it was not claimed.
  b->claims = 0;
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(wlog.count(WM_APP), 1);
  EXPECT_EQ(c->after.back(), std::make_pair(UINT(WM_APP), false));
}

TEST_F(MessagePathTest, ThePingIsAnsweredByTheExtenderAndNoHandlerSeesIt) {
  const UINT service = platform::ServiceMessage();
  EXPECT_EQ(::SendMessageW(wnd, service, kSvcPing, 0), kSvcPingAnswer);
  auto a = AddHandler('a');
  EXPECT_EQ(::SendMessageW(wnd, service, kSvcPing, 0), kSvcPingAnswer);
  EXPECT_EQ(::SendMessageW(wnd, service, kSvcSetMarkProperty, 0), 1);
  EXPECT_NE(::GetPropW(wnd, L"{ECF0E54A-1D63-4A21-8CA0-BA19D4EAD28E}"), nullptr);
  EXPECT_EQ(::SendMessageW(wnd, service, kSvcRemoveMarkProperty, 0), 1);
  EXPECT_EQ(::GetPropW(wnd, L"{ECF0E54A-1D63-4A21-8CA0-BA19D4EAD28E}"), nullptr);
  EXPECT_EQ(std::count(a->seen.begin(), a->seen.end(), service), 0);
  EXPECT_EQ(wlog.count(service), 0);
  // Other codes, unknown ones too, go on to the handlers and the window.
  ::SendMessageW(wnd, service, 12345, 0);
  EXPECT_EQ(std::count(a->seen.begin(), a->seen.end(), service), 1);
  EXPECT_EQ(wlog.count(service), 1);
}

TEST_F(MessagePathTest, AThrowingHandlerNeverSkipsTheWindowProcedure) {
  auto a = AddHandler('a'), b = AddHandler('b');
  a->throwsOn = WM_APP;
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(wlog.count(WM_APP), 1);
  EXPECT_EQ(b->after.back(), std::make_pair(UINT(WM_APP), false));
}

TEST_F(MessagePathTest, ACloseRequestFromInsideANestedCallIsRepostedAndRunsOnceBackAtTheTop) {
  const UINT service = platform::ServiceMessage();
  auto a = AddHandler('a');
  a->onBefore = [&](WindowMessage& m) {
    if (m.Msg == WM_APP + 1) ::SendMessageW(wnd, service, kSvcCloseRequest, 7);
  };
  ::SendMessageW(wnd, WM_APP + 1, 0, 0);
  EXPECT_TRUE(owner->closes.empty());
  EXPECT_EQ(ext->DetachTryCount(), 1);
  EXPECT_TRUE(PumpUntil([&] { return !owner->closes.empty(); }, std::chrono::seconds(2)));
  EXPECT_EQ(owner->closes, std::vector<int>{7});
  EXPECT_EQ(owner->nestingAtClose, std::vector<int>{1});
  EXPECT_EQ(ext->GetWnd(), nullptr);
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
}

TEST_F(MessagePathTest, AWindowThatKeepsNestingPastTheLimitIsStillDetached) {
  const UINT service = platform::ServiceMessage();
  auto a = AddHandler('a');
  a->onBefore = [&](WindowMessage& m) {
    if (m.Msg == WM_APP + 1)
      for (int i = 0; i <= kMaxDetachTries && owner->closes.empty(); ++i)
        ::SendMessageW(wnd, service, kSvcCloseRequest, 1);
  };
  ::SendMessageW(wnd, WM_APP + 1, 0, 0);
  EXPECT_EQ(ext->DetachTryCount(), kMaxDetachTries);
  EXPECT_EQ(owner->closes, std::vector<int>{1});
  EXPECT_EQ(ext->GetWnd(), nullptr);
  // The re-posted requests reach a window that no longer has an extender.
  PumpUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(owner->closes.size(), 1u);
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
}

TEST_F(MessagePathTest, OnlyAnImmersiveColorSetChangeRestartsTheColourTimer) {
  struct Case {
    const wchar_t* text;
    bool restarts;
  } cases[] = {{L"ImmersiveColorSet", true}, {L"immersivecolorset", true}, {L"Policy", false}, {nullptr, false}};
  // Before Windows 10 there is no immersive colour set: nothing restarts there.
  const bool win10 = OsFlags().win10OrLater;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text ? c.text : L"(null)");
    ::SendMessageW(wnd, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(c.text));
    EXPECT_EQ(ext->ColorChangePending(), c.restarts && win10);
    if (c.restarts && win10) {
      // When it fires it stops and asks the window to refresh its frame icons.
      auto probe = AddHandler('p');
      const UINT service = platform::ServiceMessage();
      bool refresh = false;
      probe->onBefore = [&](WindowMessage& m) { refresh = refresh || (m.Msg == service && m.WParam == kSvcRefreshFrameIcons); };
      EXPECT_TRUE(PumpUntil([&] { return refresh; }, std::chrono::seconds(2)));
      EXPECT_FALSE(ext->ColorChangePending());
      ext->DetachMessageHandler(probe.Get());
    }
  }
}

TEST_F(MessagePathTest, TheSizeMoveLoopIsTracked) {
  ::SendMessageW(wnd, WM_ENTERSIZEMOVE, 0, 0);
  EXPECT_TRUE(ext->InSizeMoveLoop());
  ::SendMessageW(wnd, WM_EXITSIZEMOVE, 0, 0);
  EXPECT_FALSE(ext->InSizeMoveLoop());
}

TEST_F(MessagePathTest, ATargetRectangleReplacesTheSuggestionOfADpiChange) {
  RECT suggested{1, 2, 3, 4};
  ::SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(suggested.left, 1);
  ext->SetTargetRectForDPIChange(RECT{10, 20, 300, 400});
  ::SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(suggested.left, 10);
  EXPECT_EQ(suggested.bottom, 400);
  // A pointer that leads nowhere, as another process may send, is left alone.
  ::SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(120, 120), 0x10);
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
}

TEST_F(MessagePathTest, ACursorRequestWithAnUnknownIdKeepsTheCursor) {
  const UINT service = platform::ServiceMessage();
  ::SendMessageW(wnd, service, kSvcSetCursor, reinterpret_cast<LPARAM>(IDC_ARROW));
  HCURSOR arrow = ::GetCursor();
  EXPECT_EQ(arrow, ::LoadCursorW(nullptr, IDC_ARROW));
  ::SendMessageW(wnd, service, kSvcSetCursor, 0x7FFF);
  EXPECT_EQ(::GetCursor(), arrow);
  ::SendMessageW(wnd, service, kSvcSetCursor, reinterpret_cast<LPARAM>(IDC_CROSS));
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_CROSS));
  // Code 31 also goes on to the window.
  EXPECT_EQ(wlog.count(service), 3);
}

class ChildProbe : public model::TInterfacedObject, public virtual IChildMessageHandler {
 public:
  bool BeforeChildMessage(HWND, WindowMessage& m) override {
    ++before;
    return claims && m.Msg == claims;
  }
  void AfterChildMessage(HWND, WindowMessage&, bool) override { ++after; }
  int before = 0, after = 0;
  UINT claims = 0;

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override {
    if (iid == IChildMessageHandler::kIid) return static_cast<IChildMessageHandler*>(this);
    return TInterfacedObject::FindInterface(iid);
  }
};

TEST_F(MessagePathTest, ChildMessagesReachTheirHandlersAndADestroyedChildTakesItsRecord) {
  test::WindowLog childLog;
  HWND child = test::CreateLoggedWindow(&childLog, true, WS_POPUP);
  ASSERT_TRUE(child);
  ::SetParent(child, wnd);
  model::RefPtr<ChildProbe> probe(new ChildProbe());
  ext->SubclassChildWindow(child, probe.Get());
  ext->SubclassChildWindow(child, probe.Get());
  EXPECT_EQ(ext->SubclassedChildCount(), 1u);
  EXPECT_EQ(::SendMessageW(child, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(probe->before, 2);
  probe->claims = WM_APP;
  EXPECT_EQ(::SendMessageW(child, WM_APP, 0, 0), 0);
  EXPECT_EQ(childLog.count(WM_APP), 1);
  // One of the two entries goes; the child stays subclassed until the last.
  ext->UnsubclassChildWindow(child, probe.Get());
  EXPECT_EQ(ext->SubclassedChildCount(), 1u);
  ::DestroyWindow(child);
  EXPECT_EQ(ext->SubclassedChildCount(), 0u);
}

TEST_F(MessagePathTest, AThousandSubclassedChildrenLeaveNothingBehind) {
  model::RefPtr<ChildProbe> probe(new ChildProbe());
  const std::size_t blocksBefore = TrampolineBlockCount();
  for (int i = 0; i < 1000; ++i) {
    HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, wnd, nullptr, nullptr, nullptr);
    ASSERT_TRUE(child);
    ext->SubclassChildWindow(child, probe.Get());
    void* trampoline = reinterpret_cast<void*>(::GetWindowLongPtrW(child, GWLP_WNDPROC));
    ::DestroyWindow(child);
    // What the library's hooks do at WM_NCDESTROY of a window that still runs through a parked
    // trampoline; an entry still dispatching into the extender would be refused here.
    FreeParkedTrampoline(trampoline);
  }
  EXPECT_EQ(ext->SubclassedChildCount(), 0u);
  // Every child's trampoline went back to the pool.
  EXPECT_LE(TrampolineBlockCount(), blocksBefore + 1);
}

}  // namespace
}  // namespace dl::extender

namespace dl::extender {
namespace {

LRESULT CALLBACK PlainProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(wnd, msg, wp, lp); }

// Messages after which the extender posts its own window a service code.
TEST_F(ExtenderFixture, StyleAndMonitorChangesPostTheirServiceCodes) {
  struct Case {
    const wchar_t* cls;
    int action;  // 0 style to child, 1 style changing, 2 monitors (all), 3 monitors only
    WPARAM expected;  // 0: none
  } cases[] = {
      {L"IEFrame", 0, kSvcReapplyRule},
      {L"OtherFrame", 0, 0},
      {L"LaunchUnrealUWindowsClient", 1, kSvcCheckHookLater},
      {L"OtherFrame", 1, 0},
      {L"OtherFrame", 2, kSvcMonitorsAllInfo},
      {L"OtherFrame", 3, kSvcMonitorsOnly},
  };
  const UINT service = platform::ServiceMessage();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_wstring(c.action) + L" " + c.cls);
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = c.cls;
    ::RegisterClassW(&wc);
    HWND wnd = ::CreateWindowExW(0, c.cls, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(wnd);
    auto ext = CreateAttached(L"", wnd);
    MSG msg;
    while (::PeekMessageW(&msg, wnd, service, service, PM_REMOVE)) {
    }  // the attach notice
    if (c.action == 0) ::SetWindowLongPtrW(wnd, GWL_STYLE, WS_CHILD);
    if (c.action == 1) ::SetWindowLongPtrW(wnd, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    if (c.action == 2) ext->OnMMCenterUpdate(TMMCenterUpdateType::mmcutAllInfo);
    if (c.action == 3) ext->OnMMCenterUpdate(TMMCenterUpdateType::mmcutMonitorsOnly);
    std::vector<WPARAM> posted;
    while (::PeekMessageW(&msg, wnd, service, service, PM_REMOVE)) posted.push_back(msg.wParam);
    EXPECT_EQ(posted, c.expected ? std::vector<WPARAM>{c.expected} : std::vector<WPARAM>{});
    ::DestroyWindow(wnd);
  }
}

// A bound extender is subscribed to the process's multi-monitor center through the
// subscription routines the library's start connects: a rebuilt center tells it (all
// information), a refresh too (monitors only), and once unbound it hears nothing more.
TEST_F(ExtenderFixture, BoundExtenderHearsTheProcessMonitorCenter) {
  const link::MonitorSources sources{
      [] { return std::optional<link::DeviceRecords>(link::DeviceRecords{{u"\\\\.\\DISPLAY1", {0, 0, 640, 480}, true, false}}); },
      [](bool) { return std::vector<link::ProcessMonitor>{}; }};
  SetMonitorSubscriptionRoutines({&link::SubscribeToProcessMonitorCenter, &link::UnsubscribeFromProcessMonitorCenter});
  link::ReleaseProcessMonitorCenter();
  link::CreateProcessMonitorCenter(sources);
  WNDCLASSW wc{};
  wc.lpfnWndProc = PlainProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"DlMonitorSubscriber";
  ::RegisterClassW(&wc);
  HWND wnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                               wc.hInstance, nullptr);
  ASSERT_TRUE(wnd);
  auto ext = CreateAttached(L"", wnd);
  const UINT service = platform::ServiceMessage();
  const auto posted = [&] {
    std::vector<WPARAM> codes;
    MSG msg;
    while (::PeekMessageW(&msg, wnd, service, service, PM_REMOVE)) codes.push_back(msg.wParam);
    return codes;
  };
  (void)posted();  // the attach notice
  link::RebuildProcessMonitorCenter(sources);
  EXPECT_EQ(posted(), std::vector<WPARAM>{kSvcMonitorsAllInfo}) << "the new center took over the subscription";
  link::RefreshProcessMonitorCenter();
  EXPECT_EQ(posted(), std::vector<WPARAM>{kSvcMonitorsOnly});
  ext->Unbind();
  link::RebuildProcessMonitorCenter(sources);
  EXPECT_TRUE(posted().empty());
  SetMonitorSubscriptionRoutines({});
  link::ReleaseProcessMonitorCenter();
  ext->DetachWindow();
  ::DestroyWindow(wnd);
}

}  // namespace
}  // namespace dl::extender
