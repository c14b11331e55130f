// Runs against the system's PCRE in the native tree; under Wine the same steps are
// tested through the loaded pcre64.dll (tests/rules).
#ifdef DL_SYSTEM_PCRE
#include "library/model/pcre_match.h"

#include <gtest/gtest.h>

#include "library/model/error.h"
#include "library/model/text_util.h"
#include "tests/model/system_pcre.h"

namespace {
using dl::model::Error;
using dl::model::pcre::MatchPattern;

TEST(PcreMatch, StandardSemanticsWithDefaultOptions) {
  const auto e = dl::testing::SystemPcre();
  struct Case {
    const char* pattern;
    const char* subject;
    bool matches;
  };
  const Case cases[] = {
      {"ab+c", "xxabbbcx", true},       // unanchored search
      {"^abc$", "abcd", false},
      {"^abc$", "abc", true},
      {"(a)(b)(c)(d)(e)", "abcde", true},  // captures need room in the output vector
      {"ABC", "abc", false},               // case-sensitive by default
      {"[[:alpha:]]+ - Notepad$", "Untitled - Notepad", true},
      {"", "anything", true},
      {"x", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(MatchPattern(e, c.pattern, c.subject), c.matches);
  }
}

TEST(PcreMatch, InvalidPatternRaisesWithPositionAndMessage) {
  const auto e = dl::testing::SystemPcre();
  try {
    (void)MatchPattern(e, "(", "x");
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Message(), L"Invalid Pattern '(': error at position 1: missing )");
  }
}

TEST(PcreMatch, RunawayBacktrackingStopsAtTheMatchLimit) {
  const auto e = dl::testing::SystemPcre();
  try {
    (void)MatchPattern(e, "^(\\w+\\s?)*$", std::string(40, 'a') + "!");
    FAIL() << "no error";
  } catch (const Error& error) {
    // PCRE_ERROR_MATCHLIMIT (-8) or PCRE_ERROR_RECURSIONLIMIT (-21): not among the named codes.
    EXPECT_TRUE(error.Message() == L"Unknown PCRE error code -8" || error.Message() == L"Unknown PCRE error code -21")
        << dl::model::WideToUtf8(error.Message());
  }
}

TEST(PcreMatch, MissingEntryPointsAnswerTheirFailureValue) {
  auto e = dl::testing::SystemPcre();
  e.exec = nullptr;
  EXPECT_FALSE(MatchPattern(e, "a", "a"));  // -1: no match
  e = dl::testing::SystemPcre();
  e.study = nullptr;
  e.fullInfo = nullptr;
  EXPECT_TRUE(MatchPattern(e, "a+", "xa"));
  e = dl::testing::SystemPcre();
  e.free = nullptr;  // nothing could be released: refuse rather than leak
  EXPECT_FALSE(MatchPattern(e, "a", "a"));
  e = dl::testing::SystemPcre();
  e.compile = nullptr;
  EXPECT_THROW((void)MatchPattern(e, "a", "a"), Error);
}

TEST(PcreMatch, ErrorCodeNames) {
  using dl::model::pcre::ErrorCodeName;
  EXPECT_EQ(ErrorCodeName(-2), L"PCRE_ERROR_NULL");
  EXPECT_EQ(ErrorCodeName(-7), L"PCRE_ERROR_NOSUBSTRING");
  EXPECT_EQ(ErrorCodeName(-10), L"PCRE_ERROR_BADUTF8");
  EXPECT_EQ(ErrorCodeName(-20), L"PCRE_ERROR_DFA_RECURSE");
  EXPECT_EQ(ErrorCodeName(-9), L"Unknown PCRE error code -9");
  EXPECT_EQ(ErrorCodeName(-99), L"Unknown PCRE error code -99");
}

}  // namespace
#endif

#include <gtest/gtest.h>

#include "library/model/pcre_match.h"

TEST(PcreFailureReports, OncePerPatternAndBounded) {
  dl::model::pcre::FailureReports reports;
  EXPECT_TRUE(reports.ShouldReport("("));
  EXPECT_FALSE(reports.ShouldReport("("));
  EXPECT_TRUE(reports.ShouldReport("(a+)+b"));
  for (int i = 0; i < 1000; ++i) (void)reports.ShouldReport("p" + std::to_string(i));
  EXPECT_FALSE(reports.ShouldReport("one more"));
  reports.Clear();
  EXPECT_TRUE(reports.ShouldReport("("));
}
