#include "protocol/rule_block_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "tests/protocol/hand_built_block.h"

namespace {
namespace rb = dl::protocol::rule_block;
using rb::RuleBlockError;
using rb::RuleBlockReader;

TEST(RuleBlockReader, ReadsEveryFieldOfAHandBuiltBlock) {
  const auto bytes = dl::testing::HandBuiltBlock();
  const RuleBlockReader r(bytes.data(), bytes.size());
  ASSERT_TRUE(r.Valid());
  EXPECT_EQ(r.Size(), 296u);
  auto walk = r.NewWalk();

  const rb::RecordPos group = r.FirstRecord();
  EXPECT_EQ(group, 4u);
  EXPECT_EQ(r.Type(group), rb::kGroup);
  EXPECT_EQ(r.Count(group, rb::group::kRuleCount), 2u);
  EXPECT_EQ(r.Ansi(group, rb::group::kSkin), "blue");
  EXPECT_EQ(r.Ansi(group, rb::group::kCommonParams), "\\c=1");

  const auto specific = r.Link(group, rb::group::kFirstRule, walk);
  ASSERT_EQ(specific, 60u);
  EXPECT_EQ(r.Type(*specific), rb::kSpecificRule);
  EXPECT_EQ(r.Ansi(*specific, rb::rule::kName), "Spec");
  EXPECT_EQ(r.Count(*specific, rb::rule::kCriterionCount), 1u);
  EXPECT_EQ(r.Ansi(*specific, rb::rule::kParams), "\\p=1");
  EXPECT_EQ(r.U32(*specific, rb::rule::kChecksum), 0x11223344u);
  EXPECT_EQ(r.Ansi(*specific, rb::rule::kSpecialIcons), "3");

  const auto criterion = r.Link(*specific, rb::rule::kFirstCriterion, walk);
  ASSERT_EQ(criterion, 124u);
  EXPECT_EQ(r.Type(*criterion), rb::kClassCriterion);
  EXPECT_EQ(r.Ansi(*criterion, rb::criterion::kPattern), "Notepad");
  EXPECT_EQ(r.I32(*criterion, rb::criterion::kCaptionMode), rb::kSubstring);
  EXPECT_EQ(r.Link(*criterion, rb::criterion::kNext, walk), std::nullopt);

  const auto def = r.Link(*specific, rb::rule::kNext, walk);
  ASSERT_EQ(def, 168u);
  EXPECT_EQ(r.Type(*def), rb::kDefaultRule);
  EXPECT_EQ(r.Ansi(*def, rb::rule::kSpecialIcons), std::nullopt);
  EXPECT_EQ(r.Ansi(*def, rb::rule::kParams), "\\Enabled=31");

  const auto tabbed = r.Link(group, rb::group::kNext, walk);
  ASSERT_EQ(tabbed, 224u);
  EXPECT_EQ(r.Type(*tabbed), rb::kTabbedExplorer);
  EXPECT_EQ(r.U32(*tabbed, rb::tabbed_explorer::kEnabled), 1u);
  EXPECT_EQ(r.Utf16(*tabbed, rb::tabbed_explorer::kPath), u"C:");
  const auto end = r.Link(*tabbed, rb::tabbed_explorer::kNext, walk);
  ASSERT_EQ(end, 264u);
  EXPECT_EQ(r.Type(*end), rb::kEndOfChain);
}

TEST(RuleBlockReader, MappingNameCarriesTheIdInEightUpperCaseHexDigits) {
  EXPECT_EQ(rb::MappingName(0x1A2Bu), L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_ParamStrings_00001A2B");
  EXPECT_EQ(rb::MappingName(0xFEDCBA98u), L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_ParamStrings_FEDCBA98");
}

TEST(RuleBlockReader, SizeFieldDecidesWhetherThereIsABlock) {
  auto bytes = dl::testing::HandBuiltBlock();
  struct Case {
    const char* what;
    std::uint32_t sizeField;
    std::size_t viewSize;
    bool valid;
  };
  const Case cases[] = {
      {"size 0 counts as no block", 0, 296, false},
      {"size smaller than its own field", 3, 296, false},
      {"size larger than the view", 297, 296, false},
      {"size far larger than the view", 0xFFFFFFFFu, 296, false},
      {"view shorter than the size field", 296, 3, false},
      {"exact size", 296, 296, true},
      {"view larger than the block", 296, 296, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::memcpy(bytes.data(), &c.sizeField, 4);  // little-endian on every target we build
    const RuleBlockReader r(bytes.data(), c.viewSize);
    EXPECT_EQ(r.Valid(), c.valid);
  }
  EXPECT_FALSE(RuleBlockReader(nullptr, 296).Valid());
}

// Each case damages the hand-built block in one way; reading the damaged part must
// raise RuleBlockError and never touch a byte outside the block.
TEST(RuleBlockReader, DamagedFieldsRaiseInsteadOfReadingOutside) {
  struct Case {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    std::function<void(const RuleBlockReader&)> read;
  };
  const Case cases[] = {
      {"first-rule offset past the end", 8, 400,
       [](const RuleBlockReader& r) { auto w = r.NewWalk(); (void)r.Link(4, rb::group::kFirstRule, w); }},
      {"offset before the first record", 8, static_cast<std::uint32_t>(-4),
       [](const RuleBlockReader& r) { auto w = r.NewWalk(); (void)r.Link(4, rb::group::kFirstRule, w); }},
      {"record whose type field straddles the end", 8, 294,
       [](const RuleBlockReader& r) { auto w = r.NewWalk(); (void)r.Link(4, rb::group::kFirstRule, w); }},
      {"negative rule count", 16, static_cast<std::uint32_t>(-1),
       [](const RuleBlockReader& r) { (void)r.Count(4, rb::group::kRuleCount); }},
      {"string length past the end", 36, 1000,
       [](const RuleBlockReader& r) { (void)r.Ansi(4, rb::group::kSkin); }},
      {"string length that wraps", 36, 0xFFFFFFFFu,
       [](const RuleBlockReader& r) { (void)r.Ansi(4, rb::group::kSkin); }},
      {"string without its terminator", 36, 5,  // "blue" and its zero become five characters
       [](const RuleBlockReader& r) {
         (void)r.Ansi(4, rb::group::kSkin);
       }},
      {"UTF-16 length past the end", 256, 100,
       [](const RuleBlockReader& r) { (void)r.Utf16(224, rb::tabbed_explorer::kPath); }},
      {"field of a record at the very end", 0, 264 + 8,
       [](const RuleBlockReader& r) { (void)r.U32(264, rb::rule::kChecksum); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto bytes = dl::testing::HandBuiltBlock();
    for (int i = 0; i < 4; ++i) bytes[c.at + i] = static_cast<std::uint8_t>(c.value >> (8 * i));
    if (std::string_view(c.what) == "string without its terminator") bytes[45] = 'x';
    // The view is exactly the block: a read past it is what ASan would catch.
    std::vector<std::uint8_t> exact(bytes.begin(), bytes.begin() + (c.at == 0 ? c.value : bytes.size()));
    const RuleBlockReader r(exact.data(), exact.size());
    ASSERT_TRUE(r.Valid());
    EXPECT_THROW(c.read(r), RuleBlockError);
  }
}

TEST(RuleBlockReader, ACycleInANextChainRunsOutOfItsBudget) {
  auto bytes = dl::testing::HandBuiltBlock();
  // The tabbed-explorer record points back to the group.
  const std::int32_t back = 4 - 224;
  std::memcpy(bytes.data() + 232, &back, 4);
  const RuleBlockReader r(bytes.data(), bytes.size());
  auto walk = r.NewWalk();
  rb::RecordPos at = r.FirstRecord();
  EXPECT_THROW(
      {
        for (;;) at = r.Link(at, rb::group::kNext, walk).value();
      },
      RuleBlockError);
}

}  // namespace
