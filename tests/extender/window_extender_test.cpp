// The window extender on real windows under Wine: construction from parameter strings, attach
// through a trampoline, the hook check and its re-hooks, detach, and the services it offers.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "library/runtime/process_local_storage.h"
#include "library/runtime/shared_messages.h"
#include "library/extender/utility_window.h"
#include "library/extender/window_extender.h"
#include "library/extender/window_extender_rules.h"
#include "library/model/class_registry.h"
#include "library/model/event_log.h"
#include "library/model/hex.h"
#include "platform/registered_messages.h"
#include "tests/extender/window_parts_fixture.h"
#include "tests/extender/logged_window.h"

namespace dl::extender {
namespace {

using test::PumpUntil;

// ---------------------------------------------------------------------------------------
// Construction from parameters.

TEST_F(ExtenderFixture, TwoTriggersWithEqualNamesGiveOneAmendedTrigger) {
  auto ext = Create(L"\\trigger=TESTTRIGGER{name=Buttons\\colour=red}\\trigger=TESTTRIGGER{name=Buttons\\size=2}");
  ASSERT_TRUE(ext);
  ASSERT_EQ(ext->GetTriggers()->GetCount(), 1);
  auto part = ext->GetTriggers()->GetItemByName(L"Buttons");
  ASSERT_TRUE(part);
  auto* probe = dynamic_cast<TestPart*>(part.Get());
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(probe->params[L"colour"], L"red");
  EXPECT_EQ(probe->params[L"size"], L"2");
}

TEST_F(ExtenderFixture, PartsOfEveryKindAreSortedByInterface) {
  struct Case {
    const wchar_t* params;
    int actions, triggers;
    bool toolbox;
    int logLines;
  } cases[] = {
      {L"\\action=TESTACTION{name=Move}\\trigger=TESTTRIGGER{name=Keys}", 1, 1, false, 0},
      // An action class given as trigger does not offer ITrigger: dropped.
      {L"\\trigger=TESTACTION{name=Wrong}", 0, 0, false, 0},
      // Classes of later capabilities: skipped with one line each.
      {L"\\trigger=FUTURETRIGGER{name=X}\\action=FUTUREACTION", 0, 0, false, 2},
      {L"\\toolbox=TESTTOOLBOX{name=Box}", 0, 0, true, 0},
      // A toolbox naming a class without IToolbox stays nil.
      {L"\\toolbox=TESTACTION{name=Box}", 0, 0, false, 0},
      {L"\\toolbox=NOSUCHTOOLBOX", 0, 0, false, 1},
      {L"\\action=TESTACTION{name=A}\\action=TESTACTION{name=B}\\action=TESTACTION{name=a}", 2, 0, false, 0},
      // A part that refuses its parameters is left out with one line; the others stay.
      {L"\\action=TESTACTION{name=A\\fail=1}\\action=TESTACTION{name=B}", 1, 0, false, 1},
      // Malformed specifications build nothing and break nothing.
      {L"\\trigger=TESTTRIGGER{name=T\\action=A{", 0, 1, false, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.params);
    log.lines.clear();
    auto ext = Create(c.params);
    ASSERT_TRUE(ext);
    EXPECT_EQ(ext->GetActions()->GetCount(), c.actions);
    EXPECT_EQ(ext->GetTriggers()->GetCount(), c.triggers);
    EXPECT_EQ(static_cast<bool>(ext->GetToolbox()), c.toolbox);
    EXPECT_EQ(static_cast<int>(log.lines.size()), c.logLines);
  }
}

TEST_F(ExtenderFixture, PlainParametersAreDecodedAndNamesCountUp) {
  auto first = Create(L"\\window_rule_name=" + model::StringToHex(L"Group\\Rule") + L"\\Enabled=2D31");
  auto second = Create(L"");
  EXPECT_EQ(first->GetParamDefault(L"window_rule_name", L"?"), L"Group\\Rule");
  EXPECT_EQ(first->GetParamDefault(L"Enabled", L"?"), L"-1");
  EXPECT_EQ(first->GetParamDefault(L"absent", L"def"), L"def");
  // Undecodable text stops at the first bad pair; the rest is zero.
  EXPECT_EQ(Create(L"\\x=4142ZZ43")->GetParamDefault(L"x", L""), std::wstring(L"AB\0\0", 4));
  const std::wstring a = first->GetName(), b = second->GetName();
  ASSERT_EQ(a.rfind(L"WindowExtender", 0), 0u);
  EXPECT_EQ(std::stol(b.substr(14)), std::stol(a.substr(14)) + 1);
  EXPECT_TRUE(first->GetRegistryParamsPath().ends_with(L"\\WindowRules\\Group_Rule"));
}

TEST(ExtenderRules, NamesDecideHowWindowsAreFollowed) {
  struct Case {
    const wchar_t* cls;
    const wchar_t* path;
    bool smartMax;
    bool noninvasive;
  } cases[] = {
      {L"Notepad", L"c:\\windows\\notepad.exe", false, false},
      {L"Flash11.5", L"c:\\x\\app.exe", false, true},
      {L"Flash11", L"c:\\x\\app.exe", false, true},
      {L"Flash1", L"c:\\x\\app.exe", false, false},
      {L"Dialog", L"c:\\program files\\ptc\\creo 9\\parametric.exe", false, false},
      {L"Frame", L"c:\\program files\\ptc\\creo 9\\parametric.exe", false, true},
      {L"Frame", L"c:\\apps\\creo\\x.exe", false, true},
      {L"Frame", L"c:\\tools\\winbox.exe", false, true},
      {L"HwndWrapper[Jing.exe;;] - WindowsForms10.Window", L"c:\\x\\jing.exe", false, true},
      {L"Notepad", L"c:\\windows\\notepad.exe", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.cls) + L" " + c.path);
    EXPECT_EQ(NeedsNoninvasiveFollowing(c.cls, c.path, c.smartMax), c.noninvasive);
  }
  EXPECT_EQ(TimerIdSeedFor(L"winproj.exe", L"c:\\office\\winproj.exe"), 100);
  EXPECT_EQ(TimerIdSeedFor(L"x.exe", L"c:\\maxqda2020\\x.exe"), 100);
  EXPECT_EQ(TimerIdSeedFor(L"notepad.exe", L"c:\\windows\\notepad.exe"), 0);
}

TEST(ExtenderRules, SpecialIconsNeedExactlyEightDigits) {
  const std::wstring icons = L"pin=78563412;seven=1234567;nine=123456789;bad=1234567G";
  EXPECT_EQ(SpecialIconHandle(icons, L"pin").value_or(0), 0x12345678u);
  EXPECT_FALSE(SpecialIconHandle(icons, L"seven"));
  EXPECT_FALSE(SpecialIconHandle(icons, L"nine"));
  EXPECT_FALSE(SpecialIconHandle(icons, L"bad"));
  EXPECT_FALSE(SpecialIconHandle(icons, L"absent"));
  EXPECT_EQ(ExtenderLogLine(L"Rule", L"Notepad", 0x1A2B, L"AttachWindow", L"-"),
            L"Rule;Notepad;00001A2B;TWindowExtender;AttachWindow;-");
}

TEST_F(ExtenderFixture, SpecialIconIsACopyOfTheNamedIcon) {
  HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION);
  wchar_t hex[9];
  const auto value = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(icon));
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                 static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  std::wstring encoded = model::BytesToHex(bytes, 4);
  wcsncpy(hex, encoded.c_str(), 9);
  auto ext = Create(L"\\special_icons=pin=" + std::wstring(hex) + L";short=1234567");
  HICON copy = ext->GetSpecialIcon(L"pin");
  EXPECT_NE(copy, nullptr);
  if (copy) ::DestroyIcon(copy);
  EXPECT_EQ(ext->GetSpecialIcon(L"short"), nullptr);
}

// ---------------------------------------------------------------------------------------
// Attach, hook check, detach.

TEST_F(ExtenderFixture, AttachSubclassesThroughATrampolineOutsideTheLibraryAndTheCheckEndsAfterTenAnswers) {
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  auto ext = CreateAttached(L"\\window_rule_name=" + model::StringToHex(L"Notes") +
                                L"\\trigger=TESTTRIGGER{name=Buttons}",
                            wnd);
  ASSERT_TRUE(ext->Hook());
  void* trampoline = ext->Hook()->Trampoline();
  EXPECT_EQ(reinterpret_cast<void*>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC)), trampoline);
  HMODULE owner = nullptr;
  EXPECT_FALSE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    static_cast<LPCWSTR>(trampoline), &owner))
      << "the trampoline lies inside a module image";
  EXPECT_NE(ext->GetServiceWnd(), nullptr);
  // The part was offered the window and attached.
  auto* part = dynamic_cast<TestPart*>(ext->GetTriggers()->GetItemByName(L"Buttons").Get());
  ASSERT_NE(part, nullptr);
  EXPECT_TRUE(part->IsAttached());
  // The attach line, once.
  ASSERT_EQ(log.lines.size(), 1u);
  wchar_t handle[32];
  swprintf(handle, 32, L"%08llX", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(wnd)));
  EXPECT_TRUE(log.lines[0].ends_with(L"Notes;" + ext->GetWndClassName() + L";" + handle +
                                     L";TWindowExtender;AttachWindow;-"))
      << std::string(log.lines[0].begin(), log.lines[0].end());
  EXPECT_TRUE(ext->HookCheckRunning());
  EXPECT_TRUE(PumpUntil([&] { return !ext->HookCheckRunning(); }, std::chrono::seconds(5)));
  EXPECT_EQ(ext->CheckExtenderTryCount(), kHookChecksToTrust);
  EXPECT_EQ(ext->RehookCount(), 0);
  // The window's own procedure still sees its messages.
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
  // The attach-complete notice went through the window's queue to the parts' handlers.
  EXPECT_TRUE(PumpUntil([&] { return part->serviceCodes.size() >= 1; }, std::chrono::seconds(2)));
  EXPECT_EQ(part->serviceCodes.at(0), kSvcAttachComplete);
  ::DestroyWindow(wnd);
}

TEST_F(ExtenderFixture, ClosedWindowDetachesFreesAndLeavesNothing) {
  const LONG busyBefore = entry::StorageBusyCount();
  const long liveBefore = TWindowExtender::LiveCount();
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  HWND service = nullptr;
  {
    auto ext = CreateAttached(L"\\trigger=TESTTRIGGER{name=Buttons}", wnd);
    service = ext->GetServiceWnd();
    EXPECT_EQ(entry::StorageBusyCount(), busyBefore + 1);
    EXPECT_EQ(TWindowExtender::LiveCount(), liveBefore + 1);
    ext->SetProp(L"x", 5);
    ext.Reset();  // the owner holds the only reference from here on
  }
  ::DestroyWindow(wnd);
  EXPECT_EQ(owner->closes, (std::vector<int>{kErDestroyed}));
  EXPECT_TRUE(owner->extenders.empty());
  EXPECT_EQ(TWindowExtender::LiveCount(), liveBefore);
  EXPECT_EQ(entry::StorageBusyCount(), busyBefore);
  EXPECT_FALSE(::IsWindow(service));
  // No timer survives on the service window (it is gone) and the parts were detached and finished.
  EXPECT_EQ(TestPart::detaches, 1);
  EXPECT_EQ(TestPart::dones, 1);
}

TEST_F(ExtenderFixture, DetachParksTheTrampolineAsAForwarderAndTheWindowKeepsWorking) {
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  auto ext = CreateAttached(L"", wnd);
  void* trampoline = ext->Hook()->Trampoline();
  ext->DetachWindow();
  EXPECT_EQ(ext->GetWnd(), nullptr);
  EXPECT_EQ(ext->Hook(), nullptr);
  EXPECT_EQ(ext->Timers().Count(), 0u);
  EXPECT_FALSE(IsTrampolineInDispatchForm(trampoline));
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
  // The ping is no longer answered by an extender.
  EXPECT_NE(::SendMessageW(wnd, platform::ServiceMessage(), kSvcPing, 0), kSvcPingAnswer);
  ::DestroyWindow(wnd);
}

// A subclasser that takes the window without chaining, and takes it again after every re-hook.
LRESULT CALLBACK GreedyProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ::DefWindowProcW(wnd, msg, wp, lp); }

TEST_F(ExtenderFixture, ABypassedHookIsRebuiltFourTimesThenOneWarningLine) {
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  auto ext = CreateAttached(L"\\window_rule_name=" + model::StringToHex(L"R"), wnd);
  log.lines.clear();
  const auto greedy = reinterpret_cast<LONG_PTR>(&GreedyProc);
  int seenRehooks = 0;
  const bool settled = PumpUntil(
      [&] {
        if (::GetWindowLongPtrW(wnd, GWLP_WNDPROC) != greedy) ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, greedy);
        seenRehooks = std::max(seenRehooks, ext->RehookCount());
        return !ext->HookCheckRunning() && ext->RehookCount() == kMaxRehooks;
      },
      std::chrono::seconds(6));
  EXPECT_TRUE(settled);
  EXPECT_EQ(seenRehooks, kMaxRehooks);
  // Nothing more happens afterwards: one warning line.
  PumpUntil([] { return false; }, std::chrono::milliseconds(400));
  int warnings = 0;
  for (const auto& line : log.lines)
    if (line.ends_with(L";TWindowExtender;CheckExtenderTimerNotify;[WARNING] Rehook count exceeded")) ++warnings;
  EXPECT_EQ(warnings, 1);
  ext->DetachWindow();
  ::DestroyWindow(wnd);
}

TEST_F(ExtenderFixture, ASubclasserThatTakesTheWindowOnceIsFollowedByANewSeriesOfChecks) {
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  auto ext = CreateAttached(L"", wnd);
  ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GreedyProc));
  EXPECT_TRUE(PumpUntil([&] { return ext->RehookCount() == 1 && !ext->HookCheckRunning(); }, std::chrono::seconds(4)));
  EXPECT_EQ(ext->CheckExtenderTryCount(), kHookChecksToTrust);
  EXPECT_EQ(::SendMessageW(wnd, platform::ServiceMessage(), kSvcPing, 0), kSvcPingAnswer);
  ext->DetachWindow();
  ::DestroyWindow(wnd);
}

TEST_F(ExtenderFixture, APartThatDoesNotFitIsUnboundAndStaysListed) {
  TestPart::refuseWindows = true;
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  auto ext = CreateAttached(L"\\action=TESTACTION{name=Move}", wnd);
  auto* part = dynamic_cast<TestPart*>(ext->GetActions()->GetItemByName(L"Move").Get());
  ASSERT_NE(part, nullptr);
  EXPECT_FALSE(part->IsAttached());
  EXPECT_EQ(part->unbinds, 1);
  EXPECT_EQ(ext->GetActions()->GetCount(), 1);
  ext->DetachWindow();
  ::DestroyWindow(wnd);
}

TEST_F(ExtenderFixture, APartThatFailsToAttachIsLeftOutAndTheWindowIsStillExtended) {
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  auto ext = CreateAttached(L"\\action=TESTACTION{name=Bad\\failattach=1}\\trigger=TESTTRIGGER{name=Good}", wnd);
  auto* bad = dynamic_cast<TestPart*>(ext->GetActions()->GetItemByName(L"Bad").Get());
  auto* good = dynamic_cast<TestPart*>(ext->GetTriggers()->GetItemByName(L"Good").Get());
  ASSERT_TRUE(bad && good);
  EXPECT_FALSE(bad->IsAttached());
  EXPECT_EQ(bad->unbinds, 1);
  EXPECT_TRUE(good->IsAttached());
  EXPECT_EQ(::SendMessageW(wnd, platform::ServiceMessage(), kSvcPing, 0), kSvcPingAnswer);
  ::DestroyWindow(wnd);
  EXPECT_EQ(owner->closes, std::vector<int>{kErDestroyed});
}

TEST_F(ExtenderFixture, AWindowDestroyedWhileThePartsAttachIsDetachedCleanly) {
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  TestPart::destroyOnAttach = true;
  auto ext = CreateAttached(L"\\trigger=TESTTRIGGER{name=T}", wnd);
  EXPECT_FALSE(::IsWindow(wnd));
  EXPECT_EQ(ext->GetWnd(), nullptr);
  EXPECT_EQ(ext->Hook(), nullptr);
  EXPECT_EQ(ext->GetServiceWnd(), nullptr);
}

// ---------------------------------------------------------------------------------------
// Services.

TEST_F(ExtenderFixture, PropertiesNotifyOnSetButNotOnRemove) {
  auto ext = Create(L"");
  model::RefPtr<TestSubscriber> subscriber(new TestSubscriber());
  ext->PropChangeSubscribe(subscriber.Get());
  ext->SetProp(L"processed", 0);
  ext->SetProp(L"PROCESSED", 1);  // names without regard to case: replaced
  EXPECT_EQ(ext->GetProp(L"processed", -1), 1);
  ext->RemoveProp(L"processed");
  EXPECT_EQ(ext->GetProp(L"processed", -1), -1);
  ext->RemoveProp(L"absent");
  EXPECT_EQ(subscriber->changes, (std::vector<std::pair<std::wstring, std::intptr_t>>{{L"processed", 0}, {L"PROCESSED", 1}}));
  ext->PropChangeUnsubscribe(subscriber.Get());
  ext->SetProp(L"y", 2);
  EXPECT_EQ(subscriber->changes.size(), 2u);
}

TEST_F(ExtenderFixture, DetachingAHandlerAddedTwiceRemovesTheLaterEntry) {
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  auto ext = CreateAttached(L"", wnd);
  std::vector<char> order;
  model::RefPtr<TestHandler> a(new TestHandler('a', &order)), b(new TestHandler('b', &order));
  ext->AttachMessageHandler(a.Get());
  ext->AttachMessageHandler(b.Get());
  ext->AttachMessageHandler(a.Get());
  ext->DetachMessageHandler(a.Get());
  ::SendMessageW(wnd, WM_APP + 5, 0, 0);
  EXPECT_EQ(std::string(order.begin(), order.end()), "ab");
  ext->DetachWindow();
  ::DestroyWindow(wnd);
}

TEST_F(ExtenderFixture, ServerMessagesReachTheSubscriberOfTheirReceiverOnly) {
  auto ext = Create(L"");
  model::RefPtr<TestReceiver> moves(new TestReceiver()), keys(new TestReceiver());
  ext->Subscribe(L"Move", moves.Get());
  ext->Subscribe(L"Keys", keys.Get());
  ext->OnMessageFromServer(nullptr, L"move", 29, "abc");
  ext->OnMessageFromServer(nullptr, L"Nobody", 1, "");
  ext->OnMessageFromServer(nullptr, L"", 1, "");
  EXPECT_EQ(moves->codes, std::vector<int>{29});
  EXPECT_TRUE(keys->codes.empty());
  ext->Unsubscribe(moves.Get());
  ext->OnMessageFromServer(nullptr, L"Move", 30, "");
  EXPECT_EQ(moves->codes, std::vector<int>{29});
  ext->Unsubscribe(L"Keys");
  ext->OnMessageFromServer(nullptr, L"Keys", 30, "");
  EXPECT_TRUE(keys->codes.empty());
}

TEST_F(ExtenderFixture, TimersExistOnlyWhileAttached) {
  auto ext = Create(L"");
  EXPECT_EQ(ext->CreateNewTimer(), nullptr);
  test::WindowLog wlog;
  HWND wnd = test::CreateLoggedWindow(&wlog);
  ext->AttachWindow(wnd);
  Timer* timer = ext->CreateNewTimer();
  ASSERT_NE(timer, nullptr);
  int fired = 0;
  timer->SetInterval(20);
  timer->SetOnTimer([&](Timer&) { ++fired; });
  timer->SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return fired >= 2; }, std::chrono::seconds(3)));
  ext->DetachWindow();
  EXPECT_EQ(ext->CreateNewTimer(), nullptr);
  ::DestroyWindow(wnd);
}

}  // namespace
}  // namespace dl::extender
