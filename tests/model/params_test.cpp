#include "library/model/params.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using dl::model::ExtractParam;
using dl::model::FindClosingBrace;
using dl::model::FindParam;
using dl::model::ParamPair;
using dl::model::SplitParams;
using dl::model::SplitText;
using dl::model::TTwoArrayOfString;
using dl::model::UnwrapBraces;
constexpr auto npos = std::wstring_view::npos;

TEST(FindClosingBrace, DepthCountingFromTheStartCharacter) {
  struct Case {
    const wchar_t* text;
    std::size_t start;
    std::size_t expected;
  };
  const Case cases[] = {
      {L"{}", 0, 1},
      {L"a{b{c}d}e", 1, 7},
      {L"a{b{c}d}e", 3, 5},
      {L"{x{y}", 0, npos},   // unclosed
      {L"{", 0, npos},
      {L"{}", 2, npos},      // start past the end
      {L"{}", 99, npos},
      {L"}{", 0, 1},         // a closing start goes to -1 and back to 0
      {L"x}", 0, 0},         // a plain start character is its own match
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindClosingBrace(c.text, c.start), c.expected) << c.text << " @" << c.start;
}

TEST(SplitText, ItemsAndBraceProtection) {
  struct Case {
    const wchar_t* text;
    bool keep_empty;
    std::vector<std::wstring> expected;
  };
  const Case cases[] = {
      {L"", false, {}},
      {L"   ", false, {}},
      {L"a\\b", false, {L"a", L"b"}},
      {L"\\a\\\\\\b\\", false, {L"a", L"b"}},
      {L"\\a\\\\b\\", true, {L"", L"a", L"", L"b", L""}},
      {L"  \\a=1  ", false, {L"a=1"}},
      {L"a={x\\y}\\b", false, {L"a={x\\y}", L"b"}},
      {L"a={x{y\\z}w}\\b", false, {L"a={x{y\\z}w}", L"b"}},
      // Only the first group protects: the second group's delimiter ends the item.
      {L"a={x\\y}{z\\w}\\b", false, {L"a={x\\y}{z", L"w}", L"b"}},
      // A brace after the first delimiter protects nothing for this item.
      {L"a\\b={c\\d}", false, {L"a", L"b={c\\d}"}},
      // Unclosed: the first delimiter stands even inside the group.
      {L"a={x\\y", false, {L"a={x", L"y"}},
      {L"a=}\\b", false, {L"a=}", L"b"}},
      {L"a={x}tail\\b", false, {L"a={x}tail", L"b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitText(c.text, L'\\', c.keep_empty), c.expected) << c.text;
}

TEST(SplitParams, PairsFromRuleStrings) {
  struct Case {
    const wchar_t* text;
    std::size_t count;
    std::vector<ParamPair> pairs;
  };
  const Case cases[] = {
      {L"\\name=A\\\\\\value=1", 2, {{L"name", L"A"}, {L"value", L"1"}}},
      {L"  \\name=A  ", 1, {{L"name", L"A"}}},
      {L"\\ name = A \\x=1", 2, {{L" name", L"A "}, {L"x", L"1"}}},
      {L"\\agent={\\type=T\\action_name=X}\\name=Z",
       2,
       {{L"agent", L"\\type=T\\action_name=X"}, {L"name", L"Z"}}},
      {L"\\a={x{y\\z}w}\\b=1", 2, {{L"a", L"x{y\\z}w"}, {L"b", L"1"}}},
      {L"\\a={x\\y", 2, {{L"a", L"{x"}, {L"", L""}}},
      {L"\\a=b=c", 1, {{L"a", L"b=c"}}},
      {L"\\flag\\a=1", 2, {{L"a", L"1"}, {L"", L""}}},
      {L"\\flag", 1, {{L"", L""}}},
      {L"\\=v\\a=1", 2, {{L"", L"v"}, {L"a", L"1"}}},
      {L"\\a={}", 1, {{L"a", L""}}},
      {L"\\a={", 1, {{L"a", L"{"}}},
      {L"\\a={x}y", 1, {{L"a", L"{x}y"}}},
      {L"\\a=  {x}", 1, {{L"a", L"x"}}},
      {L"\\n=1\\n=2", 2, {{L"n", L"1"}, {L"n", L"2"}}},
      {L"\\name=ToggleButton\\action_kind=next\\type=CAPTIONBUTTONTOGGLE\\Enabled=-1",
       4,
       {{L"name", L"ToggleButton"}, {L"action_kind", L"next"}, {L"type", L"CAPTIONBUTTONTOGGLE"},
        {L"Enabled", L"-1"}}},
  };
  for (const auto& c : cases) {
    TTwoArrayOfString pairs;
    EXPECT_EQ(SplitParams(c.text, L'\\', L'=', pairs), c.count) << c.text;
    EXPECT_EQ(pairs, c.pairs) << c.text;
  }
}

TEST(SplitParams, NothingToSplitLeavesTheOutputUntouched) {
  TTwoArrayOfString pairs{{L"keep", L"me"}};
  EXPECT_EQ(SplitParams(L" \\\\ ", L'\\', L'=', pairs), 0u);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].name, L"keep");
}

TEST(SplitParams, OtherDelimitersAndAnsiText) {
  TTwoArrayOfString pairs;
  EXPECT_EQ(SplitParams(L"1=Desk A;2=Desk B", L';', L'=', pairs), 2u);
  EXPECT_EQ(pairs, (TTwoArrayOfString{{L"1", L"Desk A"}, {L"2", L"Desk B"}}));

  dl::model::TTwoArrayOfAnsiString ansi;
  EXPECT_EQ(SplitParams(std::string_view("\\a={x\\y}\\b=\xE9"), '\\', '=', ansi), 2u);
  ASSERT_EQ(ansi.size(), 2u);
  EXPECT_EQ(ansi[0].value, "x\\y");
  EXPECT_EQ(ansi[1].value, "\xE9");  // bytes above 127 are not blanks
}

TEST(FindParam, FirstCaseInsensitiveMatchAndUntouchedWhenAbsent) {
  const TTwoArrayOfString pairs{{L"n", L"1"}, {L"N", L"2"}, {L"caption", L"x"}};
  std::wstring value = L"before";
  EXPECT_TRUE(FindParam(pairs, L"N", value));
  EXPECT_EQ(value, L"1");
  EXPECT_TRUE(FindParam(pairs, L"CAPTION", value));
  EXPECT_EQ(value, L"x");
  value = L"before";
  EXPECT_FALSE(FindParam(pairs, L"missing", value));
  EXPECT_EQ(value, L"before");
  // Only a-z map to A-Z: other letters keep their case.
  EXPECT_FALSE(FindParam({{L"\u00e9", L"1"}}, L"\u00c9", value));
}

TEST(ExtractParam, FindsTheFirstOccurrenceAndClearsOtherwise) {
  std::wstring value = L"stale";
  EXPECT_TRUE(ExtractParam(L"\\n=1\\n=2", L"N", value));
  EXPECT_EQ(value, L"1");
  EXPECT_FALSE(ExtractParam(L"\\n=1", L"x", value));
  EXPECT_TRUE(value.empty());
  EXPECT_TRUE(ExtractParam(L"1=A;2=B", L"2", value, L';', L'='));
  EXPECT_EQ(value, L"B");
  EXPECT_FALSE(ExtractParam(L"", L"", value));
}

TEST(UnwrapBraces, RemovesOneEnclosingPair) {
  EXPECT_EQ(UnwrapBraces(L"{a}"), L"a");
  EXPECT_EQ(UnwrapBraces(L"{{a}}"), L"{a}");
  EXPECT_EQ(UnwrapBraces(L"{}"), L"");
  EXPECT_EQ(UnwrapBraces(L"{"), L"{");
  EXPECT_EQ(UnwrapBraces(L"{a"), L"{a");
  EXPECT_EQ(UnwrapBraces(L"a}"), L"a}");
  EXPECT_EQ(UnwrapBraces(L""), L"");
}

// Splitting a long string of items that each hold an unclosed brace must not
// scan the rest of the text for every item.
TEST(SplitText, ManyUnclosedGroupsStayLinear) {
  std::wstring text;
  for (int i = 0; i < 200000; ++i) text += L"a={\\";
  const auto items = SplitText(text, L'\\', false);
  EXPECT_EQ(items.size(), 200000u);
  EXPECT_EQ(items.front(), L"a={");
}

}  // namespace
