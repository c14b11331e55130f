#include "library/rules/window_rule_lookup.h"

#include <gtest/gtest.h>

#include "library/model/system_seam.h"
#include "library/rules/regex_library.h"
#include "library/rules/window_description.h"
#include "platform/handles.h"
#include "protocol/rule_block_writer.h"
#include "tests/rules/shared_block.h"
#include "tests/support/bin_dir.h"
#include "tests/support/window_class.h"

namespace {
namespace rb = dl::protocol::rule_block;
using dl::model::TRuleType;

class RealWindow {
 public:
  RealWindow(const wchar_t* cls, const std::wstring& caption)
      : wnd_(::CreateWindowExW(0, cls, caption.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr, nullptr,
                               dl::test::Instance(), nullptr)) {}
  [[nodiscard]] HWND get() const { return wnd_.get(); }

 private:
  dl::platform::UniqueWindow wnd_;
};

std::wstring OwnExecutableUpper() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  ::CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

TEST(DescribeWindow, ExecutableClassAndCaptionOfARealWindow) {
  dl::test::ScopedClass cls(L"DlRuleDescribeWindow");
  RealWindow w(cls.name(), std::wstring(150, L'c'));
  ASSERT_NE(w.get(), nullptr);
  const auto info = dl::rules::DescribeWindow(w.get(), true);
  EXPECT_EQ(info.Wnd, reinterpret_cast<dl::model::WindowHandleValue>(w.get()));
  EXPECT_EQ(info.FileName, OwnExecutableUpper());
  EXPECT_EQ(info.WindowClass, L"DlRuleDescribeWindow");
  EXPECT_EQ(info.WindowCaption, std::string(100, 'c'));  // cut to 100 characters
  const auto asIs = dl::rules::DescribeWindow(w.get(), false);
  EXPECT_NE(asIs.FileName, info.FileName);  // the process's own path comes in lower case
  EXPECT_EQ(dl::rules::RuleSubjectOf(asIs).upperFileName, dl::model::WideToAnsi(OwnExecutableUpper()));
}

class WindowRuleLookup : public ::testing::Test {
 protected:
  void TearDown() override {
    dl::rules::UnloadRegexLibrary();
    dl::rules::SetRegexLibraryFolder(L"");
  }
};

TEST_F(WindowRuleLookup, RealWindowAgainstABlockInARealMapping) {
  rb::GroupSpec group;
  group.skin = "Glass";
  group.commonParams = "\\common=1";
  rb::RuleSpec byRegex;
  byRegex.name = "By regex";
  byRegex.params = "\\r=1";
  byRegex.checksum = 0x1234;
  byRegex.criteria = {{rb::kClassCriterion, "DlRuleLookup", 0},
                      {rb::kFileNameCriterion, "*\\RULES_TESTS.EXE", 0},
                      {rb::kCaptionCriterion, "^Rule (test|probe) \\d+$", rb::kRegularExpression}};
  rb::RuleSpec fallback;
  fallback.type = rb::kDefaultRule;
  fallback.name = "DefaultWindowRule";
  fallback.params = "\\Enabled=30";
  group.rules = {byRegex, fallback};
  dl::test::SharedBlock block(rb::MappingName(0x7201), rb::WriteRuleBlock({group}));
  ASSERT_TRUE(block.Created());
  const auto wrapper = dl::rules::OpenRuleBlock(0x7201);
  ASSERT_TRUE(wrapper && wrapper->Valid());

  dl::test::ScopedClass cls(L"DlRuleLookupWindow");
  RealWindow w(cls.name(), L"Rule test 42");
  ASSERT_NE(w.get(), nullptr);

  // Without the regular-expression library the caption criterion never matches.
  auto info = dl::rules::GetWindowRuleInfo(w.get(), wrapper.Get());
  EXPECT_EQ(info.Name, "DefaultWindowRule");
  EXPECT_EQ(info.RuleType, TRuleType::rtDefault);
  EXPECT_FALSE(info.Enabled);

  dl::rules::SetRegexLibraryFolder(dl::test::BinDir());
  const auto rule = dl::rules::FindWindowRule(dl::rules::DescribeWindow(w.get(), false), wrapper.Get());
  EXPECT_EQ(rule.params, L"\\r=1\\common=1");
  EXPECT_EQ(rule.info.Name, "By regex");
  EXPECT_EQ(rule.info.RuleType, TRuleType::rtSpecific);
  EXPECT_TRUE(rule.info.Enabled);
  EXPECT_EQ(dl::rules::GetWindowRuleSkin(w.get(), wrapper.Get()), L"Glass");

  ::SetWindowTextW(w.get(), L"Rule test forty-two");
  EXPECT_EQ(dl::rules::GetWindowRuleInfo(w.get(), wrapper.Get()).Name, "DefaultWindowRule");
}

TEST_F(WindowRuleLookup, WithoutAValidBlockTheResultIsEmpty) {
  dl::test::ScopedClass cls(L"DlRuleNoBlockWindow");
  RealWindow w(cls.name(), L"x");
  EXPECT_EQ(dl::rules::GetWindowRuleInfo(w.get(), nullptr), dl::model::TRuleInfo{});
  EXPECT_EQ(dl::rules::GetWindowRuleSkin(w.get(), nullptr), L"");
  const auto missing = dl::rules::OpenRuleBlock(0x72FF);
  EXPECT_EQ(dl::rules::FindWindowRule(dl::rules::DescribeWindow(w.get(), false), missing.Get()).params, L"");
}

TEST(SystemWildcards, ShellMatcherAgreesWithThePortableOne) {
  dl::rules::SystemRuleMatching system;
  EXPECT_TRUE(system.WildcardMatches("*\\NOTEPAD.EXE", "C:\\WINDOWS\\NOTEPAD.EXE"));
  EXPECT_TRUE(system.WildcardMatches("C:\\*\\N?TEPAD.*", "C:\\WINDOWS\\NOTEPAD.EXE"));
  EXPECT_FALSE(system.WildcardMatches("*\\WORDPAD.EXE", "C:\\WINDOWS\\NOTEPAD.EXE"));
  EXPECT_TRUE(system.WildcardMatches("*.com;*.exe", "C:\\WINDOWS\\NOTEPAD.EXE"));
}

}  // namespace
