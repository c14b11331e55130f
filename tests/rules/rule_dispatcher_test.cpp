// Window registration, rule lookup, marks, notices and extender creation, on real windows
// of this thread. The dispatcher is driven through its hook interface as the hook
// procedures drive it; rule blocks come from the fixture.
#include <gtest/gtest.h>

#include "library/model/hex.h"
#include "library/rules/window_marks.h"
#include "tests/rules/dispatcher_fixture.h"

namespace dl::rules::test {
namespace {

std::wstring RuleParams(const wchar_t* ruleName) {
  return std::wstring(L"\\window_rule_name=") + model::StringToHex(ruleName) + L"\\Enabled=31";
}

const std::vector<TestRule>& StandardRules() {
  static const std::vector<TestRule> rules = {
      {L"DlRuledA", "Rule A", RuleType::rtSpecific, 0xA1A1u, RuleParams(L"Rule A"), "alpha"},
      {L"DlRuledA", "Rule B", RuleType::rtSpecific, 0xB2B2u, RuleParams(L"Rule B"), "beta"},
      {L"DlRuledA", "DefaultWindowRule", RuleType::rtDefault, 0xDEF0u, RuleParams(L"DefaultWindowRule"), "gamma"},
      {L"DlRuledD", "DefaultWindowRule", RuleType::rtDefault, 0xDEF1u, RuleParams(L"DefaultWindowRule"), "alpha"},
      {L"DlRuledD", "Rule D", RuleType::rtSpecific, 0xD4D4u, RuleParams(L"Rule D"), "delta"},
      {L"DlExcluded", "No buttons", RuleType::rtExclusion, 0, L"", ""},
      {L"Button", "Buttons", RuleType::rtSpecific, 0xB0B0u, RuleParams(L"Buttons"), ""},
  };
  return rules;
}

class RuleDispatcherTest : public ::testing::Test {
 protected:
  dl::test::ScopedClass ruledA{L"DlRuledA", RecordingWndProc};
  dl::test::ScopedClass ruledD{L"DlRuledD", RecordingWndProc};
  dl::test::ScopedClass plain{L"DlPlain", RecordingWndProc};
  dl::test::ScopedClass excluded{L"DlExcluded", RecordingWndProc};
  DispatcherFixture f{StandardRules()};
  TRuleDispatcher& d = *f.dispatcher;

  void Consider(HWND wnd, UINT ignoreVisibility = 0) { d.ConsiderWindow(wnd, kReasonEvent, 0, ignoreVisibility); }
  std::wstring ExtenderRuleName(HWND wnd) {
    auto extender = d.FindExtender(wnd);
    return extender ? extender->GetParamDefault(L"window_rule_name", L"") : L"(none)";
  }
};

TEST_F(RuleDispatcherTest, RuledVisibleWindowIsRegisteredMarkedReportedAndExtended) {
  TestWindow w(L"DlRuledA", L"alpha window", true);
  Consider(w.get());

  EXPECT_TRUE(d.IsRegistered(w.get()));
  EXPECT_EQ(ReadWindowMarks(w.get()), std::optional<std::uint32_t>(0xA1A1u));
  ASSERT_EQ(f.notices->size(), 1u);
  const SentNotice& sent = f.notices->front();
  EXPECT_EQ(sent.receiver, "");
  EXPECT_EQ(sent.code, 1);
  EXPECT_EQ(sent.notice.Wnd, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(w.get())));
  EXPECT_NE(sent.notice.FileName.find("rule_dispatcher_tests.exe"), std::string::npos) << sent.notice.FileName;
  EXPECT_EQ(sent.notice.WindowClass, "DlRuledA");
  EXPECT_EQ(sent.notice.WindowCaption, "alpha window");
  EXPECT_EQ(sent.notice.RuleName, "Rule A");
  EXPECT_EQ(sent.notice.RuleType, static_cast<int>(RuleType::rtSpecific));

  ASSERT_TRUE(d.IsWindowExtended(w.get()));
  EXPECT_EQ(d.FindExtender(w.get())->GetWnd(), w.get());
  EXPECT_EQ(ExtenderRuleName(w.get()), L"Rule A");
  EXPECT_FALSE(d.HasWindowParams(w.get())) << "the parameter string is consumed by the extender";
  EXPECT_EQ(d.GetExtendedWindowsList(), std::vector<HWND>{w.get()});
  EXPECT_NE(d.GetWindowExtender(w.get()), nullptr);
}

TEST_F(RuleDispatcherTest, InvisibleWindowKeepsItsParametersUntilShown) {
  TestWindow w(L"DlRuledA", L"alpha", false);
  Consider(w.get());
  EXPECT_TRUE(d.HasWindowParams(w.get()));
  EXPECT_FALSE(d.IsWindowExtended(w.get()));

  // An ordinary event for a registered window with a stored string does not register it again.
  Consider(w.get());
  EXPECT_EQ(f.notices->size(), 1u);
  EXPECT_FALSE(d.IsWindowExtended(w.get()));

  ::ShowWindow(w.get(), SW_SHOWNA);
  Consider(w.get());
  EXPECT_TRUE(d.IsWindowExtended(w.get()));
  EXPECT_FALSE(d.HasWindowParams(w.get()));
  EXPECT_EQ(f.notices->size(), 1u);
}

TEST_F(RuleDispatcherTest, InvisibleWindowIsExtendedWhenShownByPositionOrWantedByACheck) {
  TestWindow shown(L"DlRuledA", L"alpha", false);
  Consider(shown.get(), SWP_SHOWWINDOW);  // the position change that shows it
  EXPECT_TRUE(d.IsWindowExtended(shown.get()));

  static HWND wanted = nullptr;
  TestWindow other(L"DlRuledA", L"alpha", false);
  TestWindow unwanted(L"DlRuledA", L"alpha", false);
  wanted = other.get();
  TNeedToExtendWindowCheck check = [](HWND wnd) { return wnd == wanted; };
  RegisterNeedToExtendWindowCheck(check);
  Consider(other.get());
  Consider(unwanted.get());
  UnregisterNeedToExtendWindowCheck(check);
  EXPECT_TRUE(d.IsWindowExtended(other.get()));
  EXPECT_FALSE(d.IsWindowExtended(unwanted.get()));
  EXPECT_TRUE(d.HasWindowParams(unwanted.get()));
}

TEST_F(RuleDispatcherTest, FilteredWindowsAreNeverRegistered) {
  struct Case {
    const char* what;
    const wchar_t* cls;
    bool bandPasses;
  };
  const Case cases[] = {
      {"class Button, even with a rule that names it", L"Button", true},
      {"a window outside the allowed z-order bands", L"DlRuledA", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto blocks = f.blocks;
    auto notices = f.notices;
    DispatcherEnvironment env = TestEnvironment(blocks, notices);
    const bool band = c.bandPasses;
    env.passesBandStep = [band](HWND) { return band; };
    model::RefPtr<TRuleDispatcher> other(new TRuleDispatcher(std::move(env)));
    other->Init(nullptr);
    ASSERT_TRUE(other->IsActive());
    TestWindow w(c.cls, L"alpha", true);
    other->ConsiderWindow(w.get(), kReasonEvent, 0, 0);
    EXPECT_FALSE(other->IsRegistered(w.get()));
    EXPECT_FALSE(ReadWindowMarks(w.get()));
    other->Done();
  }
  EXPECT_TRUE(f.notices->empty());
}

TEST_F(RuleDispatcherTest, WindowWithoutRuleIsListedButNeitherMarkedNorReported) {
  TestWindow w(L"DlPlain", L"alpha", true);
  Consider(w.get());
  EXPECT_TRUE(d.IsRegistered(w.get()));
  EXPECT_FALSE(d.HasWindowParams(w.get()));
  EXPECT_FALSE(d.IsWindowExtended(w.get()));
  EXPECT_FALSE(ReadWindowMarks(w.get()));
  EXPECT_TRUE(f.notices->empty());
}

TEST_F(RuleDispatcherTest, ExclusionRuleIsReportedButGivesNoExtender) {
  TestWindow w(L"DlExcluded", L"anything", true);
  SetWindowMarks(w.get(), 5);  // left by an earlier rule
  Consider(w.get());
  EXPECT_FALSE(d.IsWindowExtended(w.get()));
  EXPECT_FALSE(d.HasWindowParams(w.get()));
  EXPECT_FALSE(ReadWindowMarks(w.get())) << "an empty parameter string removes the marks";
  ASSERT_EQ(f.notices->size(), 1u);
  EXPECT_EQ(f.notices->front().notice.RuleType, static_cast<int>(RuleType::rtExclusion));
  // Listed already and still without a string: not reported again.
  Consider(w.get());
  EXPECT_EQ(f.notices->size(), 1u);
}

TEST_F(RuleDispatcherTest, DispatcherWithoutRuleBlockRegistersNothing) {
  auto blocks = std::make_shared<TestBlocks>();
  auto notices = std::make_shared<std::vector<SentNotice>>();
  blocks->currentId = 7;  // names a block that does not open
  model::RefPtr<TRuleDispatcher> other(new TRuleDispatcher(TestEnvironment(blocks, notices)));
  other->Init(nullptr);
  EXPECT_FALSE(other->IsActive());
  TestWindow w(L"DlRuledA", L"alpha", true);
  other->ConsiderWindow(w.get(), kReasonEvent, 0, 0);
  other->RegisterWindow(w.get(), kReasonEvent);
  EXPECT_FALSE(other->IsRegistered(w.get()));
  EXPECT_EQ(other->GetWindowRuleInfo(w.get()).Type, RuleType::rtNone);
  other->Done();
}

TEST_F(RuleDispatcherTest, CaptionChangeSelectingAnotherRuleReplacesTheExtender) {
  TestWindow w(L"DlRuledA", L"alpha", true);
  Consider(w.get());
  auto first = d.FindExtender(w.get());
  ASSERT_TRUE(first);

  ::SetWindowTextW(w.get(), L"beta");
  d.OnCaptionChanged(w.get(), WM_SETTEXT, reinterpret_cast<LPARAM>(L"beta"));

  auto second = d.FindExtender(w.get());
  ASSERT_TRUE(second);
  EXPECT_NE(first.Get(), second.Get());
  EXPECT_EQ(ExtenderRuleName(w.get()), L"Rule B");
  EXPECT_EQ(ReadWindowMarks(w.get()), std::optional<std::uint32_t>(0xB2B2u));
  EXPECT_TRUE(d.IsRegistered(w.get())) << "kind 5 keeps the registration";
  ASSERT_EQ(f.notices->size(), 2u);
  EXPECT_EQ((*f.notices)[1].code, 15);
  EXPECT_EQ((*f.notices)[1].notice.RuleName, "Rule B");
  EXPECT_EQ((*f.notices)[1].notice.WindowCaption, "beta");
}

TEST_F(RuleDispatcherTest, CaptionChangeNeverFallsBackFromASpecificRuleToTheDefault) {
  TestWindow w(L"DlRuledA", L"alpha", true);
  Consider(w.get());
  auto first = d.FindExtender(w.get());
  ::SetWindowTextW(w.get(), L"gamma");
  d.OnCaptionChanged(w.get(), WM_SETTEXT, reinterpret_cast<LPARAM>(L"gamma"));
  EXPECT_EQ(d.FindExtender(w.get()).Get(), first.Get());
  EXPECT_EQ(ExtenderRuleName(w.get()), L"Rule A");
  EXPECT_EQ(ReadWindowMarks(w.get()), std::optional<std::uint32_t>(0xA1A1u));
  EXPECT_EQ(f.notices->size(), 1u);
}

TEST_F(RuleDispatcherTest, CaptionChangeFromTheDefaultRuleToASpecificOneApplies) {
  TestWindow w(L"DlRuledD", L"alpha", true);
  Consider(w.get());
  EXPECT_EQ(ExtenderRuleName(w.get()), L"DefaultWindowRule");
  ::SetWindowTextW(w.get(), L"delta");
  d.OnCaptionChanged(w.get(), WM_SETTEXT, reinterpret_cast<LPARAM>(L"delta"));
  EXPECT_EQ(ExtenderRuleName(w.get()), L"Rule D");
}

TEST_F(RuleDispatcherTest, CaptionNoticesForWindowsThatAreNotRegisteredOrOptOutAreIgnored) {
  TestWindow unregistered(L"DlRuledA", L"alpha", true);
  d.OnCaptionChanged(unregistered.get(), WM_SETTEXT, reinterpret_cast<LPARAM>(L"beta"));
  EXPECT_FALSE(d.IsRegistered(unregistered.get()));

  TestWindow optedOut(L"DlRuledA", L"alpha", true);
  Consider(optedOut.get());
  ::SetPropW(optedOut.get(), L"{703D709D-6421-49D3-8A80-81D9A05E9284}", reinterpret_cast<HANDLE>(1));
  ::SetWindowTextW(optedOut.get(), L"beta");
  d.OnCaptionChanged(optedOut.get(), WM_SETTEXT, reinterpret_cast<LPARAM>(L"beta"));
  EXPECT_EQ(ExtenderRuleName(optedOut.get()), L"Rule A");
  ::RemovePropW(optedOut.get(), L"{703D709D-6421-49D3-8A80-81D9A05E9284}");
}

TEST_F(RuleDispatcherTest, UnregisterKind4RemovesAndRegistersAgainInTheSameCall) {
  TestWindow w(L"DlRuledA", L"alpha", false);
  Consider(w.get());
  ASSERT_TRUE(d.HasWindowParams(w.get()));
  d.UnregisterWindow(w.get(), kUnregRuleChanged);
  EXPECT_TRUE(d.IsRegistered(w.get()));
  EXPECT_EQ(f.notices->size(), 2u) << "registered anew: a second notice";
  EXPECT_TRUE(d.IsWindowExtended(w.get())) << "considered with visibility ignored";
  EXPECT_FALSE(d.WindowIsUnbinding(w.get()));
}

TEST_F(RuleDispatcherTest, UnregisterKindsOnExtendedWindows) {
  struct Case {
    int kind;
    bool registeredAfter;
  };
  for (const Case c : {Case{kUnregRuleGone, false}, Case{kUnregDetachAll, false}, Case{kUnregDestroyed, false},
                       Case{kUnregReplaceExtender, true}}) {
    SCOPED_TRACE(c.kind);
    TestWindow w(L"DlRuledA", L"alpha", true);
    Consider(w.get());
    ASSERT_TRUE(d.IsWindowExtended(w.get()));
    d.UnregisterWindow(w.get(), c.kind);
    EXPECT_FALSE(d.IsWindowExtended(w.get()));
    EXPECT_EQ(d.IsRegistered(w.get()), c.registeredAfter);
    EXPECT_EQ(ReadWindowMarks(w.get()).has_value(), c.registeredAfter);
    EXPECT_FALSE(d.WindowIsUnbinding(w.get()));
  }
}

TEST_F(RuleDispatcherTest, WindowThatVanishedIsUnregisteredWithNothingLeft) {
  const auto before = d.Sizes();
  {
    TestWindow invisible(L"DlRuledA", L"alpha", false);
    TestWindow extended(L"DlRuledA", L"alpha", true);
    TestWindow plainOne(L"DlPlain", L"x", true);
    Consider(invisible.get());
    Consider(extended.get());
    Consider(plainOne.get());
    HWND gone = invisible.get();
    invisible.Destroy();
    // Apply finds the window gone and unregisters it with kind 3.
    d.RegisterWindow(gone, kReasonCaptionChanged);
    EXPECT_FALSE(d.IsRegistered(gone));
  }
  // The next extender creation purges the rest.
  TestWindow next(L"DlRuledA", L"alpha", true);
  Consider(next.get());
  auto after = d.Sizes();
  EXPECT_EQ(after.extenders, before.extenders + 1);
  EXPECT_EQ(after.windows, before.windows + 1);
  EXPECT_EQ(after.params, before.params);
  EXPECT_EQ(after.unbinding, 0u);
  EXPECT_LE(after.captions, before.captions + 1);
}

TEST_F(RuleDispatcherTest, ThousandWindowsLeaveNothingBehind) {
  // Warm up: the first window of each kind allocates what the process keeps anyway.
  for (const wchar_t* cls : {L"DlRuledA", L"DlPlain"}) {
    TestWindow w(cls, L"alpha", true);
    Consider(w.get());
    HWND wnd = w.get();
    w.Destroy();
    d.UnregisterWindow(wnd, kUnregDestroyed);
  }
  TestWindow survivor(L"DlPlain", L"survivor", true);
  Consider(survivor.get());
  const auto sizes = d.Sizes();
  const DWORD gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
  int props = 0;
  ::EnumPropsExW(survivor.get(), [](HWND, LPWSTR, HANDLE, ULONG_PTR n) -> BOOL { return ++*reinterpret_cast<int*>(n), TRUE; },
                 reinterpret_cast<LPARAM>(&props));

  for (int i = 0; i < 1000; ++i) {
    TestWindow w(i % 2 ? L"DlRuledA" : L"DlPlain", i % 3 ? L"alpha" : L"beta", i % 4 != 0);
    Consider(w.get());
    if (i % 5 == 0) d.OnCaptionChanged(w.get(), 0, 0);
    // What the call-window-procedure-return hook does on WM_NCDESTROY of a registered window.
    HWND wnd = w.get();
    w.Destroy();
    d.UnregisterWindow(wnd, kUnregDestroyed);
  }
  Consider(survivor.get());
  EXPECT_EQ(d.Sizes(), sizes);
  EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), user);
  int propsAfter = 0;
  ::EnumPropsExW(survivor.get(), [](HWND, LPWSTR, HANDLE, ULONG_PTR n) -> BOOL { return ++*reinterpret_cast<int*>(n), TRUE; },
                 reinterpret_cast<LPARAM>(&propsAfter));
  EXPECT_EQ(propsAfter, props);
  EXPECT_EQ(f.notices->size(), 1u + 500u) << "one notice per ruled window, none for the others";
}

TEST_F(RuleDispatcherTest, ExtenderAskingToCloseIsDetachedAndUnregistered) {
  TestWindow w(L"DlRuledA", L"alpha", true);
  Consider(w.get());
  auto extender = d.FindExtender(w.get());
  ASSERT_TRUE(extender);
  d.OnClose(extender.Get(), kUnregDestroyed);
  EXPECT_FALSE(d.IsWindowExtended(w.get()));
  EXPECT_FALSE(d.IsRegistered(w.get()));
  EXPECT_FALSE(ReadWindowMarks(w.get()));
  EXPECT_FALSE(extender->GetOwner()) << "Done dropped the owner";
}

TEST_F(RuleDispatcherTest, QueriesAnswerFromTheCurrentRuleBlock) {
  TestWindow a(L"DlRuledA", L"beta", true);
  TestWindow b(L"DlRuledD", L"delta", true);
  Consider(a.get());
  Consider(b.get());
  EXPECT_EQ(d.GetExtendedWindowsList(), (std::vector<HWND>{a.get(), b.get()}));
  const RuleInfo info = d.GetWindowRuleInfo(a.get());
  EXPECT_EQ(info.Name, "Rule B");
  EXPECT_EQ(info.ParamsCRC, 0xB2B2u);
  EXPECT_TRUE(info.Enabled);
  TestWindow none(L"DlPlain", L"", true);
  EXPECT_EQ(d.GetWindowRuleInfo(none.get()).Type, RuleType::rtNone);
}

TEST_F(RuleDispatcherTest, CommandsForASubReceiverReachOnlyAnExtendedWindow) {
  TestWindow w(L"DlPlain", L"x", true);
  // No extender: nothing to call, nothing fails.
  d.OnMessageFromServer(w.get(), L"CaptionButtons", 5, "data");
  SUCCEED();
}

}  // namespace
}  // namespace dl::rules::test
