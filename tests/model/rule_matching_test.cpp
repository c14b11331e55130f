#include "library/model/rule_matching.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/model/crc32.h"
#include "library/model/rule_criteria.h"
#include "protocol/rule_block_writer.h"
#include "tests/protocol/hand_built_block.h"

namespace {
namespace rb = dl::protocol::rule_block;
using dl::model::Crc32;
using dl::model::FindRule;
using dl::model::RuleMatch;
using dl::model::RuleSubject;
using dl::model::TRuleInfo;
using dl::model::TRuleType;

// What the system side would answer: regular expressions only when "loaded", and
// the portable wildcard matcher.
class FakeSystem : public dl::model::IRuleMatchingSystem {
 public:
  bool regexLoaded = false;
  std::vector<std::string> regexCalls;
  bool RegexMatches(std::string_view pattern, std::string_view caption) noexcept override {
    regexCalls.emplace_back(pattern);
    // Stands for a real engine only in the one form the tests use: "^text$".
    return regexLoaded && pattern.size() > 2 && caption == pattern.substr(1, pattern.size() - 2);
  }
  bool WildcardMatches(std::string_view pattern, std::string_view upperFileName) noexcept override {
    return dl::model::WildcardSpecMatches(pattern, upperFileName);
  }
};

RuleSubject Window(std::string cls, std::string caption = "Untitled - Notepad",
                   std::string file = "C:\\WINDOWS\\NOTEPAD.EXE", bool shell = false) {
  return {std::move(file), std::move(cls), std::move(caption), shell};
}

RuleMatch Find(const std::vector<std::uint8_t>& bytes, const RuleSubject& s, FakeSystem& sys) {
  return FindRule(rb::RuleBlockReader(bytes.data(), bytes.size()), s, sys);
}
RuleMatch Find(const std::vector<rb::TopLevelSpec>& spec, const RuleSubject& s) {
  FakeSystem sys;
  return Find(rb::WriteRuleBlock(spec), s, sys);
}

rb::RuleSpec Rule(rb::RecordType type, std::string name, std::string params, std::vector<rb::CriterionSpec> criteria,
                  std::uint32_t checksum = 0) {
  rb::RuleSpec r;
  r.type = type;
  r.name = std::move(name);
  r.params = std::move(params);
  r.criteria = std::move(criteria);
  r.checksum = checksum;
  return r;
}
rb::GroupSpec Group(std::vector<rb::RuleSpec> rules, std::optional<std::string> common = std::nullopt) {
  rb::GroupSpec g;
  g.rules = std::move(rules);
  g.commonParams = std::move(common);
  return g;
}
rb::CriterionSpec Class(std::string p) { return {rb::kClassCriterion, std::move(p), 0}; }
rb::CriterionSpec Caption(std::string p, std::int32_t mode) { return {rb::kCaptionCriterion, std::move(p), mode}; }
rb::CriterionSpec File(std::string p) { return {rb::kFileNameCriterion, std::move(p), 0}; }

TEST(FindRule, SpecificRuleGivesItsParametersThenTheGroupsCommonOnesAndItsSpecialIcons) {
  FakeSystem sys;
  const RuleMatch m = Find(dl::testing::HandBuiltBlock(), Window("Notepad"), sys);
  EXPECT_EQ(m.params, "\\p=1\\c=1\\special_icons=3");
  EXPECT_EQ(m.info.Name, "Spec");
  EXPECT_EQ(m.info.RuleType, TRuleType::rtSpecific);
  EXPECT_TRUE(m.info.Enabled);
  EXPECT_EQ(m.info.SpecialIconStr, "3");
  // The stored checksum, continued over the common parameters' bytes.
  EXPECT_EQ(m.info.ParamsCRC, Crc32(std::string_view("\\c=1"), 0x11223344u));
}

TEST(FindRule, DefaultRuleWithoutCriteriaCatchesWhatTheSpecificRuleMisses) {
  FakeSystem sys;
  const RuleMatch m = Find(dl::testing::HandBuiltBlock(), Window("WordPadClass"), sys);
  EXPECT_EQ(m.params, "\\Enabled=31\\c=1");
  EXPECT_EQ(m.info.Name, "Def");
  EXPECT_EQ(m.info.RuleType, TRuleType::rtDefault);
  EXPECT_TRUE(m.info.Enabled);
  EXPECT_EQ(m.info.SpecialIconStr, std::nullopt);
  EXPECT_EQ(m.info.ParamsCRC, Crc32(std::string_view("\\c=1"), 0xAAAAu));
}

TEST(FindRule, DefaultRuleIsEnabledOnlyByTheEnabledKeyWithOne) {
  struct Case {
    std::string params;
    bool enabled;
  };
  const Case cases[] = {
      {"\\Enabled=31", true},
      {"\\Enabled=31\\x=1", true},
      {"\\Enabled=30", false},         // found, reported, not in force
      {"\\x=1\\Enabled=31", false},    // not at the beginning
      {"\\enabled=31", false},         // the key is matched exactly
      {"\\Enabled=1", false},          // not hex-encoded
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params);
    const RuleMatch m = Find({Group({Rule(rb::kDefaultRule, "DefaultWindowRule", c.params, {})})}, Window("Any"));
    EXPECT_EQ(m.info.Name, "DefaultWindowRule");
    EXPECT_EQ(m.info.RuleType, TRuleType::rtDefault);
    EXPECT_EQ(m.info.Enabled, c.enabled);
    EXPECT_EQ(m.params, c.params);
  }
}

TEST(FindRule, NoMatchingRuleGivesTheEmptyResult) {
  const RuleMatch m =
      Find({Group({Rule(rb::kSpecificRule, "S", "\\a=1", {Class("Other")}),
                   Rule(rb::kSpecificRule, "NoCriteria", "\\b=1", {}),  // only default rules match without criteria
                   Rule(rb::kExclusionRule, "E", "\\c=1", {})},
                  "\\common=1")},
           Window("Notepad"));
  EXPECT_EQ(m.params, "");
  EXPECT_EQ(m.info, TRuleInfo{});
}

TEST(FindRule, EveryCriterionOfARuleMustMatch) {
  const auto spec = [](std::vector<rb::CriterionSpec> criteria) {
    return std::vector<rb::TopLevelSpec>{Group({Rule(rb::kSpecificRule, "R", "\\r=1", std::move(criteria))})};
  };
  EXPECT_EQ(Find(spec({Class("Notepad"), File("NOTEPAD"), Caption("Notepad", 0)}), Window("Notepad")).params,
            "\\r=1");
  EXPECT_EQ(Find(spec({Class("Notepad"), File("WORDPAD"), Caption("Notepad", 0)}), Window("Notepad")).params, "");
  EXPECT_EQ(Find(spec({Class("Notepad"), File("NOTEPAD"), Caption("Wordpad", 0)}), Window("Notepad")).params, "");
}

TEST(FindRule, ExclusionRuleIsReportedAsExclusion) {
  const RuleMatch m = Find({Group({Rule(rb::kExclusionRule, "Keep out", "\\x=1", {Class("Notepad")}, 5)})},
                           Window("Notepad"));
  EXPECT_EQ(m.info.RuleType, TRuleType::rtExclusion);
  EXPECT_TRUE(m.info.Enabled);
  EXPECT_EQ(m.info.ParamsCRC, 5u);
}

TEST(FindRule, FirstNamedMatchWinsAndLaterGroupsAreNotAsked) {
  const RuleMatch m = Find({Group({Rule(rb::kSpecificRule, "First", "\\n=1", {Class("Note")}),
                                   Rule(rb::kSpecificRule, "Second", "\\n=2", {Class("Notepad")})}),
                            Group({Rule(rb::kSpecificRule, "Third", "\\n=3", {Class("Notepad")})})},
                           Window("Notepad"));
  EXPECT_EQ(m.params, "\\n=1");
  EXPECT_EQ(m.info.Name, "First");
}

TEST(FindRule, GroupWithoutAMatchPassesOnToTheNextGroup) {
  const RuleMatch m = Find({Group({Rule(rb::kSpecificRule, "A", "\\n=1", {Class("Other")})}, "\\g=1"),
                            Group({Rule(rb::kSpecificRule, "B", "\\n=2", {Class("Notepad")})}, "\\g=2")},
                           Window("Notepad"));
  EXPECT_EQ(m.params, "\\n=2\\g=2");
  EXPECT_EQ(m.info.Name, "B");
}

TEST(FindRule, MatchWithEmptyParametersKeepsItsInformationButAddsNothing) {
  const RuleMatch m = Find({Group({Rule(rb::kSpecificRule, "Quiet", "", {Class("Notepad")}, 9)}, "\\g=1")},
                           Window("Notepad"));
  EXPECT_EQ(m.params, "");
  EXPECT_EQ(m.info.Name, "Quiet");
  EXPECT_EQ(m.info.ParamsCRC, 9u);  // not continued: the group ended before its common parameters
}

TEST(FindRule, CaptionCriterionModes) {
  struct Case {
    const char* what;
    std::string pattern;
    std::int32_t mode;
    bool regexLoaded;
    bool matches;
  };
  const Case cases[] = {
      {"exact, equal", "Untitled - Notepad", -1, false, true},
      {"exact, part only", "Notepad", -1, false, false},
      {"exact is case-sensitive", "untitled - notepad", -1, false, false},
      {"substring", "Notepad", 0, false, true},
      {"substring is case-sensitive", "notepad", 0, false, false},
      {"regex without the library never matches", "^Untitled - Notepad$", -2, false, false},
      {"regex with the library", "^Untitled - Notepad$", -2, true, true},
      {"unknown mode", "Notepad", 1, true, false},
      {"another unknown mode", "Notepad", -3, true, false},
      {"empty pattern never matches", "", 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSystem sys;
    sys.regexLoaded = c.regexLoaded;
    const auto bytes = rb::WriteRuleBlock({Group({Rule(rb::kSpecificRule, "R", "\\r=1", {Caption(c.pattern, c.mode)})})});
    EXPECT_EQ(!Find(bytes, Window("Notepad"), sys).params.empty(), c.matches);
  }
}

TEST(FindRule, FileNameCriterionByContainmentOrWildcard) {
  struct Case {
    std::string pattern;
    bool matches;
  };
  const Case cases[] = {
      {"NOTEPAD.EXE", true},     {"\\NOTEPAD", true},   {"notepad.exe", false},  // the pattern is not upper-cased
      {"*\\NOTEPAD.EXE", true},  {"C:\\*\\N?TEPAD.*", true}, {"*\\WORDPAD.EXE", false},
      {"*.COM;*.EXE", true},     {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(!Find({Group({Rule(rb::kSpecificRule, "R", "\\r=1", {File(c.pattern)})})}, Window("Notepad")).params.empty(),
              c.matches);
  }
}

TEST(FindRule, AfxClassNamesMatchOnInstanceAndStyle) {
  const auto matches = [](std::string pattern, std::string cls) {
    return !Find({Group({Rule(rb::kSpecificRule, "R", "\\r=1", {Class(std::move(pattern))})})}, Window(std::move(cls)))
                .params.empty();
  };
  EXPECT_TRUE(matches("Afx:400000:8:10011:0:99", "Afx:400000:8:10003:0:1234"));
  EXPECT_FALSE(matches("Afx:400000:3:10003:0:1234", "Afx:400000:8:10003:0:1234"));
}

TEST(FindRule, TabbedExplorerRuleOnlyForShellFolderWindowsInsideExplorer) {
  const auto spec = [](bool enabled) {
    return std::vector<rb::TopLevelSpec>{Group({Rule(rb::kSpecificRule, "Other", "\\o=1", {Class("Notepad")})}),
                                         rb::TabbedExplorerSpec{enabled, u"C:\\x"}};
  };
  struct Case {
    const char* what;
    std::string cls;
    bool shell;
    bool enabled;
    bool applies;
  };
  const Case cases[] = {
      {"CabinetWClass in explorer.exe", "CabinetWClass", true, true, true},
      {"ExploreWClass in explorer.exe", "ExploreWClass", true, true, true},
      {"Explorer window outside explorer.exe", "CabinetWClass", false, true, false},
      {"record disabled", "CabinetWClass", true, false, false},
      {"other class", "CabinetWClassX", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RuleMatch m = Find(spec(c.enabled), Window(c.cls, "Documents", "C:\\WINDOWS\\EXPLORER.EXE", c.shell));
    if (!c.applies) {
      EXPECT_EQ(m.params, "");
      EXPECT_EQ(m.info, TRuleInfo{});
      continue;
    }
    const std::string expected =
        "\\window_rule_name=546162626564204578706C6F726572"
        "\\action=TABBEDEXPLORERACTION{\\name=TabbedExplorer\\path=43003A005C007800}"
        "\\action=BLOCKVISIBILITYACTION{\\name=BlockVisibility\\blocking=-1}"
        "\\action=RECENTFOLDERSACTION{\\name=RecentFolders}";
    EXPECT_EQ(m.params, expected);
    EXPECT_EQ(m.info.Name, "Tabbed Explorer");
    EXPECT_EQ(m.info.RuleType, TRuleType::rtTabbedExplorer);
    EXPECT_TRUE(m.info.Enabled);
    EXPECT_EQ(m.info.ParamsCRC, Crc32(expected));
  }
}

TEST(FindRule, ChainEndsAtTheFirstRecordOfTypeZero) {
  auto bytes = rb::WriteRuleBlock({Group({Rule(rb::kSpecificRule, "Unreached", "\\u=1", {Class("Notepad")})})});
  bytes[4] = 0;  // the group becomes the end of the chain
  FakeSystem sys;
  EXPECT_EQ(Find(bytes, Window("Notepad"), sys).params, "");
}

TEST(FindRule, RegexCriterionIsAskedOnlyWhenEarlierCriteriaMatched) {
  FakeSystem sys;
  sys.regexLoaded = true;
  const auto bytes = rb::WriteRuleBlock(
      {Group({Rule(rb::kSpecificRule, "R", "\\r=1", {Class("Other"), Caption("^x$", -2)}),
              Rule(rb::kSpecificRule, "S", "\\s=1", {Class("Notepad"), Caption("^Untitled - Notepad$", -2)})})});
  EXPECT_EQ(Find(bytes, Window("Notepad"), sys).params, "\\s=1");
  EXPECT_EQ(sys.regexCalls, std::vector<std::string>{"^Untitled - Notepad$"});
}

// Blocks that lie, each in one way: a defined "no rule", never a crash (ASan watches
// the reads: each view is exactly as long as the block says).
TEST(FindRule, BlockThatLiesGivesNoRule) {
  const auto valid = dl::testing::HandBuiltBlock();
  using Patch = std::pair<std::size_t, std::uint32_t>;
  struct Case {
    const char* what;
    std::vector<Patch> patches;
    std::string cls = "WordPad";  // passes over the specific rule, unless the case needs it to match
  };
  const Case cases[] = {
      {"group's first-rule offset past the end", {{8, 10000}}},
      {"group's first-rule offset before the block", {{8, static_cast<std::uint32_t>(-8)}}},
      {"rule count huge", {{16, 0x7FFFFFFFu}, {168, 2}}},
      {"rule count negative", {{16, 0xFFFFFFFFu}}},
      {"criterion count huge", {{76, 1000000}}, "Notepad"},
      {"criterion count negative", {{76, 0x80000000u}}},
      {"criterion pattern past the end", {{156, 5000}}},
      {"criterion pattern without its terminator", {{156, 8}}},  // byte 168 is the next record's type
      {"rules chain in a cycle", {{16, 100}, {168, 2}, {176, static_cast<std::uint32_t>(60 - 168)}}},
      {"size field larger than the view", {{0, 297}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto bytes = valid;
    for (const auto& [at, value] : c.patches)
      for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    FakeSystem sys;
    const RuleMatch m = Find(bytes, Window(c.cls), sys);
    EXPECT_EQ(m.params, "");
    EXPECT_EQ(m.info, TRuleInfo{});
  }
}

TEST(FindRule, CycleInTheTopLevelChainGivesNoRule) {
  auto bytes = rb::WriteRuleBlock({Group({Rule(rb::kSpecificRule, "R", "\\r=1", {Class("Other")})}),
                                   Group({Rule(rb::kSpecificRule, "S", "\\s=1", {Class("Other")})})});
  // Point the second group's next back at the first group.
  const rb::RuleBlockReader r(bytes.data(), bytes.size());
  auto walk = r.NewWalk();
  const std::size_t second = r.Link(4, rb::group::kNext, walk).value();
  const std::int32_t back = 4 - static_cast<std::int32_t>(second);
  for (int i = 0; i < 4; ++i) bytes[second + rb::group::kNext + i] = static_cast<std::uint8_t>(back >> (8 * i));
  FakeSystem sys;
  EXPECT_EQ(Find(bytes, Window("Notepad"), sys).params, "");
  EXPECT_EQ(dl::model::RuleBlockSkin(rb::RuleBlockReader(bytes.data(), bytes.size())), "");
}

TEST(RuleBlockSkin, FirstGroupSuppliesTheSkin) {
  rb::GroupSpec first, second;
  first.skin = "Glass";
  second.skin = "Other";
  const auto bytes = rb::WriteRuleBlock({rb::TabbedExplorerSpec{true, u"x"}, first, second});
  EXPECT_EQ(dl::model::RuleBlockSkin(rb::RuleBlockReader(bytes.data(), bytes.size())), "Glass");
  const auto none = rb::WriteRuleBlock({rb::TabbedExplorerSpec{true, u"x"}});
  EXPECT_EQ(dl::model::RuleBlockSkin(rb::RuleBlockReader(none.data(), none.size())), "");
  EXPECT_EQ(dl::model::RuleBlockSkin(rb::RuleBlockReader(nullptr, 0)), "");
}

}  // namespace
