// The main program's commands to the dispatcher and the refresh of every window, on real
// windows: what reaches the windows as service messages, and the state afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "library/runtime/shared_messages.h"
#include "library/model/hex.h"
#include "library/rules/window_marks.h"
#include "tests/rules/dispatcher_fixture.h"
#include "tests/support/pump.h"

namespace dl::rules::test {
namespace {

std::wstring Params(const wchar_t* name) {
  return std::wstring(L"\\window_rule_name=") + model::StringToHex(name);
}

std::vector<TestRule> Rules(std::uint32_t crcA) {
  return {{L"DlCmdRuled", "Rule A", RuleType::rtSpecific, crcA, Params(L"Rule A"), ""},
          {L"DlCmdOther", "Rule O", RuleType::rtSpecific, 0x0F0Fu, Params(L"Rule O"), ""}};
}

std::vector<ServiceRecord> Drain() {
  dl::test::PumpUntil([] { return false; }, std::chrono::milliseconds(0));
  std::vector<ServiceRecord> out;
  out.swap(ServiceLog());
  return out;
}

class DispatcherCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RouteServiceCommandsTo(f.dispatcher.Get());
    for (TestWindow* w : {&ruled1, &ruled2, &other, &plain, &hidden}) d.ConsiderWindow(w->get(), kReasonEvent, 0, 0);
    ASSERT_TRUE(d.IsWindowExtended(ruled1.get()));
    ASSERT_TRUE(d.IsWindowExtended(other.get()));
    ASSERT_TRUE(d.HasWindowParams(hidden.get()));
    Drain();
  }
  void Publish(std::uint32_t id, std::vector<TestRule> rules) {
    f.blocks->blocks[id] = std::move(rules);
    f.blocks->currentId = id;
  }

  dl::test::ScopedClass ruledClass{L"DlCmdRuled", RecordingWndProc};
  dl::test::ScopedClass otherClass{L"DlCmdOther", RecordingWndProc};
  dl::test::ScopedClass plainClass{L"DlCmdPlain", RecordingWndProc};
  DispatcherFixture f{Rules(0xA1u)};
  TRuleDispatcher& d = *f.dispatcher;
  TestWindow ruled1{L"DlCmdRuled", L"one", true};
  TestWindow ruled2{L"DlCmdRuled", L"two", true};
  TestWindow other{L"DlCmdOther", L"three", true};
  TestWindow plain{L"DlCmdPlain", L"four", true};
  TestWindow hidden{L"DlCmdRuled", L"five", false};
};

TEST_F(DispatcherCommandsTest, RulesChangedWithUnchangedChecksumsSendsNothing) {
  Publish(2, Rules(0xA1u));
  d.OnMessageFromServer(2, {});
  EXPECT_TRUE(Drain().empty());
  EXPECT_TRUE(d.IsWindowExtended(ruled1.get()));
  EXPECT_EQ(f.blocks->ruleBlockOpens, 2);
}

TEST_F(DispatcherCommandsTest, ChangedChecksumReappliesTheRule) {
  Publish(2, Rules(0xA2u));
  d.OnMessageFromServer(2, {});
  const auto sent = Drain();
  // Both visible ruled windows, 3 with kind 4 each; the other rule is unchanged, the
  // invisible window is not collected.
  ASSERT_EQ(sent.size(), 2u);
  for (const auto& s : sent) {
    EXPECT_TRUE(s.wnd == ruled1.get() || s.wnd == ruled2.get());
    EXPECT_EQ(s.code, 3u);
    EXPECT_EQ(s.arg, 4);
  }
  EXPECT_EQ(ReadWindowMarks(ruled1.get()), std::optional<std::uint32_t>(0xA2u));
  EXPECT_TRUE(d.IsWindowExtended(ruled1.get()));
  d.RefreshAllWindows();
  EXPECT_TRUE(Drain().empty());
}

TEST_F(DispatcherCommandsTest, WindowThatLostItsRuleIsToldOnceAndNotAgain) {
  Publish(2, {Rules(0xA1u)[1]});
  d.OnMessageFromServer(2, {});
  const auto sent = Drain();
  ASSERT_EQ(sent.size(), 2u);
  for (const auto& s : sent) {
    EXPECT_EQ(s.code, 3u);
    EXPECT_EQ(s.arg, 0);
  }
  EXPECT_FALSE(d.IsWindowExtended(ruled1.get()));
  EXPECT_FALSE(ReadWindowMarks(ruled1.get()));
  d.RefreshAllWindows();
  EXPECT_TRUE(Drain().empty()) << "the marks are gone: nothing more to say";
}

TEST_F(DispatcherCommandsTest, WindowThatGainedARuleIsConsidered) {
  std::vector<TestRule> rules = Rules(0xA1u);
  rules.push_back({L"DlCmdPlain", "Rule P", RuleType::rtSpecific, 0x9u, Params(L"Rule P"), ""});
  Publish(2, rules);
  d.OnMessageFromServer(2, {});
  const auto sent = Drain();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].wnd, plain.get());
  EXPECT_EQ(sent[0].code, 2u);
  EXPECT_TRUE(d.IsWindowExtended(plain.get()));
}

TEST_F(DispatcherCommandsTest, ServerGoneDetachesEverythingAndServerBackRefreshesEachWindowOnce) {
  d.OnMessageFromServer(3, {});
  EXPECT_FALSE(d.IsActive());
  auto sent = Drain();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].wnd, other.get()) << "last extender first";
  for (const auto& s : sent) {
    EXPECT_EQ(s.code, 3u);
    EXPECT_EQ(s.arg, 1);
  }
  EXPECT_TRUE(d.GetExtendedWindowsList().empty());
  d.ConsiderWindow(ruled1.get(), kReasonEvent, 0, 0);
  EXPECT_FALSE(d.IsWindowExtended(ruled1.get())) << "inactive";

  d.OnMessageFromServer(33, entry::PackIntegerField(0));
  EXPECT_TRUE(d.IsActive());
  sent = Drain();
  std::vector<HWND> considered;
  for (const auto& s : sent) {
    EXPECT_EQ(s.code, 2u);
    considered.push_back(s.wnd);
  }
  std::sort(considered.begin(), considered.end());
  std::vector<HWND> expected{ruled1.get(), ruled2.get(), other.get()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(considered, expected);
  for (HWND wnd : expected) EXPECT_TRUE(d.IsWindowExtended(wnd));
}

TEST_F(DispatcherCommandsTest, SettingChanges) {
  const int reads = f.blocks->settingsReads;
  d.OnMessageFromServer(4, "TabbedExplorerEnabled");
  EXPECT_TRUE(Drain().empty()) << "outside explorer.exe nothing happens";
  EXPECT_EQ(f.blocks->settingsReads, reads);
  Publish(2, {Rules(0xA1u)[1]});  // would change windows if a refresh ran
  d.OnMessageFromServer(4, "TabbedExplorerEnabled");
  d.OnMessageFromServer(4, "SomethingElse");
  EXPECT_TRUE(Drain().empty());
  d.OnMessageFromServer(4, "EventLogEnabled");
  EXPECT_EQ(f.blocks->settingsReads, reads + 1);
  EXPECT_TRUE(Drain().empty());
}

TEST_F(DispatcherCommandsTest, RuleBlockThatCannotBeOpenedKeepsThePreviousOne) {
  f.blocks->currentId = 99;
  d.OnMessageFromServer(2, {});
  EXPECT_TRUE(Drain().empty());
  EXPECT_TRUE(d.IsActive());
  EXPECT_EQ(d.GetWindowRuleInfo(ruled1.get()).Name, "Rule A");
  f.blocks->currentId = 0;  // no block at all
  d.OnMessageFromServer(2, {});
  EXPECT_EQ(d.GetWindowRuleInfo(ruled1.get()).Name, "Rule A");
}

TEST_F(DispatcherCommandsTest, DoneEndsExtendersWithoutTouchingTheWindows) {
  auto extender = d.FindExtender(ruled1.get());
  ASSERT_TRUE(extender);
  d.Done();
  EXPECT_TRUE(Drain().empty()) << "nothing is sent to the windows";
  EXPECT_FALSE(extender->GetOwner());
  EXPECT_TRUE(d.GetExtendedWindowsList().empty());
  for (HWND wnd : {ruled1.get(), ruled2.get(), other.get(), plain.get()}) {
    DWORD_PTR length = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 1000, &length));
    EXPECT_EQ(static_cast<int>(length), ::GetWindowTextLengthW(wnd));
    EXPECT_GT(length, 0u);
  }
  EXPECT_EQ(ReadWindowMarks(ruled1.get()), std::optional<std::uint32_t>(0xA1u)) << "marks stay for the next copy";
  EXPECT_EQ(d.GetWindowRuleInfo(ruled1.get()).Type, RuleType::rtNone) << "no rule block any more";
}

TEST_F(DispatcherCommandsTest, UnloadingDropsTheServiceBlock) {
  d.OnMessageFromServer(44, {});
  const int reads = f.blocks->settingsReads;
  d.OnMessageFromServer(4, "EventLogEnabled");  // opens the service block again
  EXPECT_EQ(f.blocks->settingsReads, reads + 1);
}

// A noninvasive window on a thread that never answers: detaching waits for it at most a
// second, then goes on to the others.
TEST(DispatcherDetach, WindowThatDoesNotAnswerIsSkippedAfterTheTimeout) {
  dl::test::ScopedClass cls{L"DlCmdHung", RecordingWndProc};
  DispatcherFixture f{{{L"DlCmdHung", "Hung", RuleType::rtSpecific, 1, Params(L"Hung"), ""}}};
  RouteServiceCommandsTo(f.dispatcher.Get());
  TestWindow mine(L"DlCmdHung", L"mine", true);
  f.dispatcher->ConsiderWindow(mine.get(), kReasonEvent, 0, 0);

  // The thread answers while it is being registered, then stops pumping.
  HANDLE hangNow = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE created = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE hanging = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HWND hungWnd = nullptr;
  std::thread hung([&] {
    hungWnd = ::CreateWindowExW(0, L"DlCmdHung", L"hung", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                nullptr, dl::test::Instance(), nullptr);
    ::SetPropW(hungWnd, MAKEINTATOM(entry::Messages().noninvasiveAtom), reinterpret_cast<HANDLE>(1));
    ::SetEvent(created);
    while (::MsgWaitForMultipleObjects(1, &hangNow, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    ::SetEvent(hanging);
    ::WaitForSingleObject(release, 20000);  // does not pump: the window does not answer
    ::DestroyWindow(hungWnd);
  });
  ASSERT_EQ(::WaitForSingleObject(created, 5000), WAIT_OBJECT_0);
  ASSERT_NE(entry::Messages().noninvasiveAtom, 0);
  f.dispatcher->ConsiderWindow(hungWnd, kReasonEvent, 0, 0);
  ::SetEvent(hangNow);
  ASSERT_EQ(::WaitForSingleObject(hanging, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(f.dispatcher->GetExtendedWindowsList(), (std::vector<HWND>{mine.get(), hungWnd}));
  Drain();

  const auto start = std::chrono::steady_clock::now();
  f.dispatcher->OnMessageFromServer(3, {});
  const auto took = std::chrono::steady_clock::now() - start;
  ::SetEvent(release);
  hung.join();
  for (HANDLE h : {hangNow, release, created, hanging}) ::CloseHandle(h);

  EXPECT_LT(took, std::chrono::milliseconds(2500));
  const auto sent = Drain();
  bool mineTold = false;
  for (const auto& s : sent) mineTold |= s.wnd == mine.get() && s.code == 3u && s.arg == 1;
  EXPECT_TRUE(mineTold) << "the window after the one that hung was still told";
  EXPECT_FALSE(f.dispatcher->IsWindowExtended(mine.get()));
}

// The messenger client's thread refreshes 500 windows of a thread that has stopped pumping:
// the refresh must not wait for any of them. Each window still gets its one notice once its
// thread pumps again.
TEST(DispatcherRefresh, WindowsOfAThreadThatDoesNotPumpNeverStallTheRefresh) {
  constexpr int kWindows = 500;
  dl::test::ScopedClass cls{L"DlCmdCrowd", RecordingWndProc};
  DispatcherFixture f{{{L"DlCmdCrowd", "Crowd", RuleType::rtSpecific, 1, Params(L"Crowd"), ""}}};
  RouteServiceCommandsTo(f.dispatcher.Get());
  HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE pumpAgain = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<HWND> windows;
  std::vector<int> notices;
  std::thread crowd([&] {
    std::vector<std::unique_ptr<TestWindow>> own;
    for (int i = 0; i < kWindows; ++i) {
      own.push_back(std::make_unique<TestWindow>(L"DlCmdCrowd", L"crowd", true));
      f.dispatcher->ConsiderWindow(own.back()->get(), kReasonEvent, 0, 0);
      windows.push_back(own.back()->get());
    }
    dl::test::PumpUntil([] { return false; }, std::chrono::milliseconds(0));
    ServiceLog().clear();
    ::SetEvent(ready);
    ::WaitForSingleObject(pumpAgain, 120000);  // does not pump: its windows do not answer
    const auto sentTo = [&] {
      notices.assign(kWindows, 0);
      for (const auto& s : ServiceLog())
        for (int i = 0; i < kWindows; ++i)
          if (s.wnd == windows[i] && s.code == 3u && s.arg == 4) ++notices[i];
      return std::count(notices.begin(), notices.end(), 1) == kWindows;
    };
    dl::test::PumpUntil(sentTo, std::chrono::seconds(30));
    for (auto& w : own) {
      HWND wnd = w->get();
      w->Destroy();
      f.dispatcher->UnregisterWindow(wnd, kUnregDestroyed);
    }
  });
  ASSERT_EQ(::WaitForSingleObject(ready, 120000), WAIT_OBJECT_0);
  ASSERT_EQ(f.dispatcher->GetExtendedWindowsList().size(), static_cast<std::size_t>(kWindows));

  f.blocks->blocks[2] = {{L"DlCmdCrowd", "Crowd", RuleType::rtSpecific, 2, Params(L"Crowd 2"), ""}};
  f.blocks->currentId = 2;
  const auto start = std::chrono::steady_clock::now();
  f.dispatcher->OnMessageFromServer(2, {});
  const auto took = std::chrono::steady_clock::now() - start;
  ::SetEvent(pumpAgain);
  crowd.join();
  for (HANDLE h : {ready, pumpAgain}) ::CloseHandle(h);

  std::printf("refresh of %d windows of a thread that does not pump: %lld ms\n", kWindows,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  // Waiting even a tenth of the caption time-out (100 ms) per window would take 5 s.
  EXPECT_LT(took, std::chrono::milliseconds(kWindows * 10));
  EXPECT_EQ(std::count(notices.begin(), notices.end(), 1), kWindows) << "every window told once, none twice";
}

}  // namespace
}  // namespace dl::rules::test
