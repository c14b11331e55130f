// The global hook procedures installed for real on this thread's queue, with stand-ins for
// the subsystems they call, so that each service command, the exception boundary and the
// noninvasive message path can be seen from a real window procedure.
#include <windows.h>

#include <chrono>
#include <vector>

#include <gtest/gtest.h>

#include "library/runtime/library_services.h"
#include "library/entry/global_hook_procs.h"
#include "library/entry/library_init.h"
#include "library/runtime/process_local_storage.h"
#include "platform/registered_messages.h"
#include "protocol/entry_state.h"
#include "protocol/service_codes.h"
#include "library/runtime/shared_messages.h"
#include "library/extender/noninvasive_marks.h"
#include "platform/handles.h"
#include "tests/entry/fake_collaborators.h"
#include "tests/support/pump.h"

namespace dl::entry::test {
using namespace dl::protocol;
namespace {

constexpr UINT kMarker = WM_APP + 40;

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK RecordingProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_USER || msg == WM_NULL) g_seen.push_back({msg, wParam, lParam});
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

// Every wait of these tests: the hook procedures run on this thread while it pumps.
bool PumpUntil(const std::function<bool()>& done) { return dl::test::PumpUntil(done, std::chrono::seconds(10)); }

class HookProcs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // This program is the process the library starts in.
    OnProcessAttach(::GetModuleHandleW(nullptr));
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DlEntryHookProcsTest";
    ::RegisterClassW(&wc);
  }

  void SetUp() override {
    g_seen.clear();
    service_ = Messages().service;
    ASSERT_NE(service_, 0u);
    window_.reset(::CreateWindowExW(0, L"DlEntryHookProcsTest", L"hook procs", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                    nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(window_);
    hook_.reset(::SetWindowsHookExW(WH_GETMESSAGE, GetMessageProc, nullptr, ::GetCurrentThreadId()));
    ASSERT_TRUE(hook_);
    Services().processHook.store(&dispatcher_);
  }

  void TearDown() override {
    Services().processHook.store(nullptr);
    Services().application.store(nullptr);
    Services().messenger.store(nullptr);
    hook_.reset();
    window_.reset();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Posts the messages, then a marker, and pumps until the marker has been dispatched.
  void PostAndPump(const std::vector<Seen>& posts) {
    for (const auto& p : posts) ASSERT_TRUE(::PostMessageW(window_.get(), p.message, p.wParam, p.lParam));
    ASSERT_TRUE(::PostMessageW(window_.get(), kMarker, 0, 0));
    ASSERT_TRUE(PumpUntil([] {
      for (const auto& s : g_seen)
        if (s.message == kMarker) return true;
      return false;
    }));
  }

  [[nodiscard]] int TimesSeen(UINT message, WPARAM wParam) const {
    int n = 0;
    for (const auto& s : g_seen) n += s.message == message && s.wParam == wParam;
    return n;
  }

  UINT service_ = 0;
  platform::UniqueWindow window_;
  platform::UniqueHook hook_;
  FakeDispatcher dispatcher_;
};

struct CommandCase {
  const char* name;
  WPARAM code;
  bool dispatcherActive;
  bool reachesWindow;
  size_t captionCalls;
  size_t refreshCalls;
};

class ServiceCommands : public HookProcs, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(ServiceCommands, ActOnlyWhenTheDispatcherIsActive) {
  const CommandCase& c = GetParam();
  dispatcher_.active = c.dispatcherActive;
  PostAndPump({{service_, c.code, 0x77}});
  EXPECT_EQ(TimesSeen(service_, c.code), c.reachesWindow ? 1 : 0);
  ASSERT_EQ(dispatcher_.captions.size(), c.captionCalls);
  if (c.captionCalls) {
    EXPECT_EQ(dispatcher_.captions[0].wnd, window_.get());
    EXPECT_EQ(dispatcher_.captions[0].message, service_);
    EXPECT_EQ(dispatcher_.captions[0].caption, 0);
  }
  ASSERT_EQ(dispatcher_.refreshed.size(), c.refreshCalls);
  if (c.refreshCalls) {
    EXPECT_EQ(dispatcher_.refreshed[0], window_.get());
    EXPECT_TRUE(dispatcher_.refreshForced);
  }
  // Whatever reaches the window arrives unchanged.
  for (const auto& s : g_seen) {
    if (s.message == service_ && s.wParam == c.code) {
      EXPECT_EQ(s.lParam, 0x77);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ServiceCommands,
    ::testing::Values(CommandCase{"CaptionActive", kSvcCaptionChanged, true, false, 1, 0},
                      CommandCase{"CaptionInactive", kSvcCaptionChanged, false, true, 0, 0},
                      CommandCase{"RefreshActive", kSvcRefreshWindowState, true, false, 0, 1},
                      CommandCase{"RefreshInactive", kSvcRefreshWindowState, false, true, 0, 0},
                      CommandCase{"RestoreWithoutExtender", kSvcRestoreHook, true, true, 0, 0},
                      CommandCase{"UnknownCode", 5, true, true, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HookProcs, RestoreCommandResetsTheExtendersHook) {
  dispatcher_.extendedWindow = window_.get();
  PostAndPump({{service_, kSvcRestoreHook, 0}});
  EXPECT_EQ(dispatcher_.extender.resets, 1);
  EXPECT_EQ(TimesSeen(service_, kSvcRestoreHook), 0);
  // The extender is then asked to drop and re-consider the window, by sent messages.
  EXPECT_EQ(TimesSeen(service_, kSvcUnregisterWindow), 1);
  EXPECT_EQ(TimesSeen(service_, kSvcConsiderWindow), 1);
}

TEST_F(HookProcs, FailingDispatcherNeitherEscapesNorSwallowsTheMessage) {
  dispatcher_.throwOnActive = true;
  const LONG before = StorageBusyCount();
  PostAndPump({{service_, kSvcCaptionChanged, 3}, {WM_APP + 1, 0, 0}});
  EXPECT_EQ(TimesSeen(service_, kSvcCaptionChanged), 1);
  EXPECT_EQ(TimesSeen(WM_APP + 1, 0), 1);
  EXPECT_EQ(StorageBusyCount(), before);
}

TEST_F(HookProcs, ZeroLastErrorSurvivesWorkThatSetsOne) {
  dispatcher_.lastErrorInCall = ERROR_ACCESS_DENIED;
  MSG msg{window_.get(), service_, kSvcCaptionChanged, 0};
  ::SetLastError(0);
  const LRESULT result = GetMessageProc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
  EXPECT_EQ(::GetLastError(), 0u);
  ASSERT_EQ(dispatcher_.captions.size(), 1u) << "the dispatcher was not reached, so nothing was tested";
  // Swallowed: the application retrieves a null message.
  EXPECT_EQ(result, 0);
  EXPECT_EQ(msg.message, 0u);
  EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(HookProcs, NegativeCodeIsPassedOnUntouched) {
  MSG msg{window_.get(), service_, kSvcCaptionChanged, 9};
  GetMessageProc(-1, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
  EXPECT_EQ(msg.message, service_);
  EXPECT_TRUE(dispatcher_.captions.empty());
}

class NoninvasiveWindow : public HookProcs {
 protected:
  void SetUp() override {
    HookProcs::SetUp();
    ASSERT_NE(Messages().noninvasiveAtom, 0);
    // Marked as the extender marks it: the property, and the process's own note of the window.
    dl::extender::MarkNoninvasive(window_.get(), Messages().noninvasiveAtom);
    ASSERT_TRUE(::GetPropW(window_.get(), MAKEINTATOM(Messages().noninvasiveAtom)));
    dispatcher_.extendedWindow = window_.get();
  }
  // Indexes of the AfterMessage calls for one message.
  [[nodiscard]] std::vector<size_t> AfterRecords(UINT message) const {
    std::vector<size_t> found;
    const auto& after = dispatcher_.extender.handler.after;
    for (size_t i = 0; i < after.size(); ++i)
      if (after[i].Msg == message) found.push_back(i);
    return found;
  }
  void TearDown() override {
    ::RemovePropW(window_.get(), MAKEINTATOM(Messages().noninvasiveAtom));
    HookProcs::TearDown();
  }
};

TEST_F(NoninvasiveWindow, ClaimedMessageBecomesNullAndAfterMessageFollowsDispatch) {
  constexpr UINT kClaimed = WM_APP + 7;
  dispatcher_.extender.handler.claim = kClaimed;
  PostAndPump({{kClaimed, 11, 22}});
  // The after-record is posted behind the marker; pump until it has been handed over.
  auto& handler = dispatcher_.extender.handler;
  ASSERT_TRUE(PumpUntil([&] { return AfterRecords(kClaimed).size() == 1; }));
  EXPECT_EQ(TimesSeen(kClaimed, 11), 0) << "a claimed message must not reach the application";
  EXPECT_GE(TimesSeen(WM_NULL, 11), 1);
  const size_t i = AfterRecords(kClaimed)[0];
  EXPECT_EQ(handler.after[i].WParam, 11u);
  EXPECT_EQ(handler.after[i].LParam, 22);
  EXPECT_TRUE(handler.afterFlags[i]);
}

TEST_F(NoninvasiveWindow, UnclaimedMessageReachesTheWindowWithFlagClear) {
  PostAndPump({{WM_APP + 8, 1, 2}});
  ASSERT_TRUE(PumpUntil([&] { return AfterRecords(WM_APP + 8).size() == 1; }));
  EXPECT_EQ(TimesSeen(WM_APP + 8, 1), 1);
  EXPECT_FALSE(dispatcher_.extender.handler.afterFlags[AfterRecords(WM_APP + 8)[0]]);
}

TEST_F(NoninvasiveWindow, ForgedRecordAddressIsIgnored) {
  // Another process can post any lParam; it must never be read or freed.
  int local = 0;
  PostAndPump({{service_, kSvcNoninvasiveAfter, 0x12345678},
               {service_, kSvcNoninvasiveAfter, reinterpret_cast<LPARAM>(&local)}});
  // Only the marker's own record comes back.
  ASSERT_TRUE(PumpUntil([&] { return AfterRecords(kMarker).size() == 1; }));
  EXPECT_EQ(dispatcher_.extender.handler.after.size(), 1u);
}

// The hooks look for the property only on windows this process marked: asking the window
// server for a property on every message of every window is what they avoid.
TEST_F(HookProcs, PropertyOnAWindowThisProcessNeverMarkedIsNotFollowed) {
  HWND other = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(::SetPropW(other, MAKEINTATOM(Messages().noninvasiveAtom), reinterpret_cast<HANDLE>(1)));
  EXPECT_FALSE(dl::extender::MayBeMarkedNoninvasive(other));
  dispatcher_.extendedWindow = other;
  MSG msg{other, WM_APP + 9, 3, 4};
  GetMessageProc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 9));
  EXPECT_TRUE(dispatcher_.extender.handler.before.empty());
  ::RemovePropW(other, MAKEINTATOM(Messages().noninvasiveAtom));
  ::DestroyWindow(other);
}

TEST_F(HookProcs, ShellRedrawReportsACaptionChange) {
  ShellProc(HSHELL_REDRAW, reinterpret_cast<WPARAM>(window_.get()), 0);
  ASSERT_EQ(dispatcher_.captions.size(), 1u);
  EXPECT_EQ(dispatcher_.captions[0].wnd, window_.get());
  EXPECT_EQ(dispatcher_.captions[0].message, 0u);

  ShellProc(HSHELL_REDRAW, 0x4242, 0);  // not a window
  ShellProc(HSHELL_WINDOWCREATED, reinterpret_cast<WPARAM>(window_.get()), 0);
  EXPECT_EQ(dispatcher_.captions.size(), 1u);
}

TEST_F(HookProcs, UnloadingApplicationPassesEverythingOn) {
  FakeApplication app;
  app.unloading = true;
  Services().application.store(&app);
  ShellProc(HSHELL_REDRAW, reinterpret_cast<WPARAM>(window_.get()), 0);
  EXPECT_TRUE(dispatcher_.captions.empty());
}

struct ReloadCase {
  const char* name;
  bool needRestart;
  int stateAfterRestart;
  bool restarted;
  int reloads;
};
class Reloading : public HookProcs, public ::testing::WithParamInterface<ReloadCase> {};

TEST_P(Reloading, ApplicationResumesOnlyWhenTheServerIsBack) {
  const ReloadCase& c = GetParam();
  FakeApplication app;
  app.unloading = true;
  FakeMessenger messenger;
  messenger.needRestart = c.needRestart;
  messenger.state = c.stateAfterRestart;
  Services().application.store(&app);
  Services().messenger.store(&messenger);
  Services().threadDetachRoutine.store(nullptr);
  PostAndPump({{WM_APP + 2, 0, 0}});
  EXPECT_EQ(messenger.restarts > 0, c.restarted);
  EXPECT_EQ(app.reloads, c.reloads);
  EXPECT_EQ(Services().threadDetachRoutine.load() != nullptr, c.reloads > 0);
  Services().threadDetachRoutine.store(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, Reloading,
                         ::testing::Values(ReloadCase{"ServerBack", true, 0, true, 1},
                                           ReloadCase{"RestartFailed", true, -1, true, 0},
                                           ReloadCase{"NoRestartNeeded", false, 0, false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dl::entry::test
