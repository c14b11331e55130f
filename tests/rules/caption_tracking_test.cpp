// The caption throttle and the decision to look at a window again after a caption change.
#include <gtest/gtest.h>

#include <vector>

#include "library/rules/caption_tracking.h"

namespace dl::rules {
namespace {

// Which notices of a series (tick of each) are read.
std::vector<bool> Reads(TWindowCaptionData data, const std::vector<std::uint32_t>& ticks) {
  std::vector<bool> out;
  for (std::uint32_t t : ticks) out.push_back(ThrottleCaptionCheck(data, t));
  return out;
}

TEST(CaptionThrottle, ABurstIsCutAfterTenCountedTriesUntilAGapOf50Ms) {
  // A burst that starts after a gap: the first notice resets the count, ten more pass,
  // the rest of the burst is ignored; a gap of 50 ms starts over.
  TWindowCaptionData data{"x", 0, 1000, 0};
  std::vector<std::uint32_t> ticks;
  for (int i = 0; i < 14; ++i) ticks.push_back(2000 + static_cast<std::uint32_t>(i));
  // Ignored notices do not move the time: the gap counts from the last notice read (2010).
  ticks.push_back(2010 + 49);
  ticks.push_back(2010 + 50);
  std::vector<bool> expected(11, true);
  expected.insert(expected.end(), {false, false, false, false, true});
  EXPECT_EQ(Reads(data, ticks), expected);
}

TEST(CaptionThrottle, NoticesRightAfterRegistrationCountAsTriesAtOnce) {
  TWindowCaptionData data{"x", 0, 5000, 0};
  std::vector<std::uint32_t> ticks(11, 5001);
  std::vector<bool> expected(10, true);
  expected.push_back(false);
  EXPECT_EQ(Reads(data, ticks), expected);
}

TEST(CaptionThrottle, TickDifferenceIsAbsoluteAcrossTheWrap) {
  struct Case {
    std::uint32_t last, now;
    bool resets;
  };
  for (const Case c : {Case{0xFFFFFFF0u, 0x10u, false}, Case{0xFFFFFFF0u, 0x30u, true}, Case{100, 60, false},
                       Case{100, 40, true}}) {
    SCOPED_TRACE(testing::Message() << c.last << " -> " << c.now);
    TWindowCaptionData data{"x", 0, c.last, 5};
    EXPECT_TRUE(ThrottleCaptionCheck(data, c.now));
    EXPECT_EQ(data.ChangeTryCount, c.resets ? 0 : 6);
    EXPECT_EQ(data.LastCaptionChangeCheckTime, c.now);
  }
}

TEST(CaptionChange, OnlyNewNonEmptyCaptionsCountAndTheFourthStopsReconsidering) {
  TWindowCaptionData data{"a", 0, 0, 0};
  EXPECT_FALSE(TakeNewCaption(data, "", false));
  EXPECT_FALSE(TakeNewCaption(data, "a", false));
  EXPECT_TRUE(TakeNewCaption(data, "b", false));
  EXPECT_TRUE(TakeNewCaption(data, "c", false));
  EXPECT_TRUE(TakeNewCaption(data, "d", false));
  EXPECT_FALSE(TakeNewCaption(data, "e", false)) << "count reached 4";
  EXPECT_EQ(data.CurrentCaption, "e");
  EXPECT_EQ(data.ChangeCount, 4);
  EXPECT_TRUE(TakeNewCaption(data, "f", true)) << "the shell experience host always looks again";

  TWindowCaptionData frozen{"a", kCaptionChangeNever, 0, 0};
  EXPECT_FALSE(TakeNewCaption(frozen, "b", false));
  EXPECT_EQ(frozen.ChangeCount, kCaptionChangeNever);
}

}  // namespace
}  // namespace dl::rules
