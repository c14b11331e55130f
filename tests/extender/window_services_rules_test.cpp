// Transparency percent and alpha, the size/move tooltip's text and placement, and the thread
// DPI awareness decision: the services' arithmetic without the system.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

#include "library/extender/window_services_rules.h"

namespace {
using namespace dl::extender;

TEST(TransparencyPercent, KnownAlphasBothWays) {
  struct Case {
    int percent;
    int alpha;
  };
  // 40 % is what a rule's "40" gives a window: 60 % of 255, exactly 153.
  for (const Case& c : {Case{0, 255}, Case{1, 252}, Case{30, 178}, Case{40, 153}, Case{50, 127}, Case{99, 2},
                        Case{100, 0}}) {
    SCOPED_TRACE(c.percent);
    EXPECT_EQ(AlphaForTransparency(c.percent), c.alpha);
    EXPECT_EQ(TransparencyForAlpha(static_cast<std::uint8_t>(c.alpha)), c.percent);
  }
}

TEST(TransparencyPercent, EveryPercentSurvivesTheRoundTripAndOutOfRangeIsClamped) {
  int previousAlpha = 256;
  for (int percent = 0; percent <= 100; ++percent) {
    SCOPED_TRACE(percent);
    const int alpha = AlphaForTransparency(percent);
    EXPECT_LT(alpha, previousAlpha);  // strictly decreasing: no two percents share an alpha
    previousAlpha = alpha;
    EXPECT_EQ(TransparencyForAlpha(static_cast<std::uint8_t>(alpha)), percent);
  }
  EXPECT_EQ(AlphaForTransparency(-5), 255);
  EXPECT_EQ(AlphaForTransparency(250), 0);
}

TEST(TransparencyPercent, EveryAlphaReadsAsTheNearestPercentHalvesToEven) {
  ASSERT_EQ(std::fegetround(), FE_TONEAREST);
  for (int alpha = 0; alpha <= 255; ++alpha) {
    SCOPED_TRACE(alpha);
    const double exact = 100.0 - alpha / 255.0 * 100.0;
    EXPECT_EQ(TransparencyForAlpha(static_cast<std::uint8_t>(alpha)), static_cast<int>(std::nearbyint(exact)));
  }
  // Alphas between two percents' alphas: 128 is 49.8 % transparent, 126 is 50.6 %.
  EXPECT_EQ(TransparencyForAlpha(128), 50);
  EXPECT_EQ(TransparencyForAlpha(126), 51);
}

TEST(SizeMoveTooltipText, LinesJoinWithABreakOnlyBetweenTwoNonEmptyLines) {
  struct Case {
    const wchar_t* line0;
    const wchar_t* line1;
    const wchar_t* text;
  };
  for (const Case& c : {Case{L"", L"", L""}, Case{L"10, 20", L"", L"10, 20"}, Case{L"", L"300 x 200", L"300 x 200"},
                        Case{L"10, 20", L"300 x 200", L"10, 20\r\n300 x 200"}}) {
    SCOPED_TRACE(testing::Message() << "'" << c.line0 << "' '" << c.line1 << "'");
    EXPECT_EQ(ComposeTooltipText(c.line0, c.line1), c.text);
  }
}

TEST(SizeMoveTooltipPlacement, OffsetByCursorAndDpi) {
  struct Case {
    TooltipCursorKind cursor;
    int dpi, offset;
  };
  for (const Case& c : {Case{TooltipCursorKind::kDiagonalSizing, 96, 14}, Case{TooltipCursorKind::kHorizontalSizing, 96, 11},
                        Case{TooltipCursorKind::kOther, 96, 20}, Case{TooltipCursorKind::kDiagonalSizing, 144, 21},
                        Case{TooltipCursorKind::kHorizontalSizing, 144, 16}, Case{TooltipCursorKind::kOther, 192, 40},
                        Case{TooltipCursorKind::kOther, 0, 20}}) {
    SCOPED_TRACE(c.dpi);
    EXPECT_EQ(TooltipVerticalOffset(c.cursor, c.dpi), c.offset);
  }
}

TEST(SizeMoveTooltipPlacement, BelowTheCursorPulledInsideTheWorkArea) {
  const PlainRect work{0, 0, 1280, 1000};
  struct Case {
    const char* what;
    PlainPoint cursor;
    PlainPoint at;
  };
  // A tooltip of 120 x 34 with offset 20.
  const Case cases[] = {
      {"room below and right", {100, 100}, {100, 120}},
      {"right edge: right-aligned to the work area", {1250, 100}, {1160, 120}},
      {"bottom edge: its bottom 20 above the cursor", {100, 960}, {100, 906}},
      {"exactly fits above the bottom edge", {100, 946}, {100, 966}},
      {"one pixel too low", {100, 947}, {100, 893}},
      {"bottom right corner", {1275, 995}, {1160, 941}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PlaceTooltip(c.cursor, 20, 120, 34, work), c.at);
  }
}

TEST(ThreadDpiAwareness, OnlyForPerMonitorAwareOfficeProcessesAndNewOutlooks) {
  DpiAwarenessFacts office;
  office.win10Build14393OrLater = true;
  office.officeLibraryLoaded = true;
  office.versionValid = true;
  office.versionMajor = 16;
  struct Case {
    const char* what;
    DpiAwarenessFacts facts;
    bool asks, uses;
  };
  auto with = [&](auto change) {
    DpiAwarenessFacts f = office;
    change(f);
    return f;
  };
  const Case cases[] = {
      {"office 16, not per-monitor aware", office, true, false},
      {"office 16, per-monitor aware", with([](auto& f) { f.processPerMonitorAware = true; }), true, true},
      {"office 15 never asks", with([](auto& f) { f.versionMajor = 15; f.processPerMonitorAware = true; }), false, false},
      {"before build 14393", with([](auto& f) { f.win10Build14393OrLater = false; f.processPerMonitorAware = true; }), true, false},
      {"no mso.dll", with([](auto& f) { f.officeLibraryLoaded = false; f.processPerMonitorAware = true; }), true, false},
      {"outlook 16.0.6499", with([](auto& f) { f.executableIsOutlook = true; f.versionRelease = 6499; }), true, false},
      {"outlook 16.0.6500", with([](auto& f) { f.executableIsOutlook = true; f.versionRelease = 6500; }), true, true},
      {"outlook 17.0.0", with([](auto& f) { f.executableIsOutlook = true; f.versionMajor = 17; }), true, true},
      {"outlook without a version", with([](auto& f) { f.executableIsOutlook = true; f.versionValid = false; f.versionMajor = 17; }), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(AsksProcessDpiAwareness(c.facts), c.asks);
    EXPECT_EQ(UsesThreadDpiAwareness(c.facts), c.uses);
  }
}

}  // namespace
