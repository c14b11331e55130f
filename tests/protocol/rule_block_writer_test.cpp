#include "protocol/rule_block_writer.h"

#include <gtest/gtest.h>

#include "protocol/rule_block_reader.h"
#include "tests/protocol/hand_built_block.h"

namespace {
namespace rb = dl::protocol::rule_block;

std::vector<rb::TopLevelSpec> HandBuiltBlockSpec() {
  rb::GroupSpec group;
  group.skin = "blue";
  group.commonParams = "\\c=1";
  rb::RuleSpec specific;
  specific.type = rb::kSpecificRule;
  specific.name = "Spec";
  specific.params = "\\p=1";
  specific.checksum = 0x11223344u;
  specific.specialIcons = "3";
  specific.criteria.push_back({rb::kClassCriterion, "Notepad", rb::kSubstring});
  rb::RuleSpec def;
  def.type = rb::kDefaultRule;
  def.name = "Def";
  def.params = "\\Enabled=31";
  def.checksum = 0xAAAAu;
  group.rules = {specific, def};
  return {group, rb::TabbedExplorerSpec{true, u"C:"}};
}

TEST(RuleBlockWriter, WritesExactlyTheBytesLaidOutByHand) {
  EXPECT_EQ(rb::WriteRuleBlock(HandBuiltBlockSpec()), dl::testing::HandBuiltBlock());
}

TEST(RuleBlockWriter, EmptyChainIsOneEndRecord) {
  const auto bytes = rb::WriteRuleBlock({});
  ASSERT_EQ(bytes.size(), 4u + 32u);
  const rb::RuleBlockReader r(bytes.data(), bytes.size());
  ASSERT_TRUE(r.Valid());
  EXPECT_EQ(r.Type(r.FirstRecord()), rb::kEndOfChain);
}

// Every record type, every field, read back through the reader.
TEST(RuleBlockWriter, EveryRecordTypeRoundTrips) {
  std::vector<rb::TopLevelSpec> spec;
  rb::GroupSpec g1;
  g1.skin = "skin one";
  for (rb::RecordType type : {rb::kSpecificRule, rb::kDefaultRule, rb::kExclusionRule}) {
    rb::RuleSpec r;
    r.type = type;
    r.name = "rule " + std::to_string(type);
    r.params = "\\k=" + std::to_string(type);
    r.checksum = 0xC0DE0000u + type;
    if (type != rb::kDefaultRule) r.specialIcons = "icons";
    r.criteria = {{rb::kCaptionCriterion, "cap", rb::kRegularExpression},
                  {rb::kFileNameCriterion, "*.EXE", 0},
                  {rb::kClassCriterion, std::nullopt, 0}};
    g1.rules.push_back(r);
  }
  spec.push_back(g1);
  spec.push_back(rb::TabbedExplorerSpec{false, u"C:\\Program Files\\\u00e9"});
  rb::GroupSpec g2;  // no strings at all, no rules
  spec.push_back(g2);

  const auto bytes = rb::WriteRuleBlock(spec);
  const rb::RuleBlockReader r(bytes.data(), bytes.size());
  ASSERT_TRUE(r.Valid());
  auto walk = r.NewWalk();
  rb::RecordPos at = r.FirstRecord();
  ASSERT_EQ(r.Type(at), rb::kGroup);
  EXPECT_EQ(r.Ansi(at, rb::group::kSkin), "skin one");
  EXPECT_EQ(r.Ansi(at, rb::group::kCommonParams), std::nullopt);
  ASSERT_EQ(r.Count(at, rb::group::kRuleCount), 3u);
  auto rule = r.Link(at, rb::group::kFirstRule, walk);
  for (const rb::RuleSpec& expected : g1.rules) {
    ASSERT_TRUE(rule);
    EXPECT_EQ(r.Type(*rule), expected.type);
    EXPECT_EQ(r.Ansi(*rule, rb::rule::kName), expected.name);
    EXPECT_EQ(r.Ansi(*rule, rb::rule::kParams), expected.params);
    EXPECT_EQ(r.U32(*rule, rb::rule::kChecksum), expected.checksum);
    EXPECT_EQ(r.Ansi(*rule, rb::rule::kSpecialIcons), expected.specialIcons);
    ASSERT_EQ(r.Count(*rule, rb::rule::kCriterionCount), 3u);
    auto c = r.Link(*rule, rb::rule::kFirstCriterion, walk);
    for (const rb::CriterionSpec& ec : expected.criteria) {
      ASSERT_TRUE(c);
      EXPECT_EQ(r.Type(*c), ec.type);
      EXPECT_EQ(r.Ansi(*c, rb::criterion::kPattern), ec.pattern);
      EXPECT_EQ(r.I32(*c, rb::criterion::kCaptionMode), ec.captionMode);
      c = r.Link(*c, rb::criterion::kNext, walk);
    }
    EXPECT_EQ(c, std::nullopt);
    rule = r.Link(*rule, rb::rule::kNext, walk);
  }
  EXPECT_EQ(rule, std::nullopt);

  at = r.Link(at, rb::group::kNext, walk).value();
  ASSERT_EQ(r.Type(at), rb::kTabbedExplorer);
  EXPECT_EQ(r.U32(at, rb::tabbed_explorer::kEnabled), 0u);
  EXPECT_EQ(r.Utf16(at, rb::tabbed_explorer::kPath), u"C:\\Program Files\\\u00e9");

  at = r.Link(at, rb::group::kNext, walk).value();
  ASSERT_EQ(r.Type(at), rb::kGroup);
  EXPECT_EQ(r.Ansi(at, rb::group::kSkin), std::nullopt);
  EXPECT_EQ(r.Count(at, rb::group::kRuleCount), 0u);
  EXPECT_EQ(r.Link(at, rb::group::kFirstRule, walk), std::nullopt);
  at = r.Link(at, rb::group::kNext, walk).value();
  EXPECT_EQ(r.Type(at), rb::kEndOfChain);
  EXPECT_EQ(r.Size(), bytes.size());
}

}  // namespace
