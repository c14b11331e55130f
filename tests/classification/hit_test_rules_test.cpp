// Geometry of the frame and caption hit tests over a fixed window rectangle.
#include <gtest/gtest.h>

#include "library/extender/hit_test_rules.h"

namespace {
using namespace dl::extender;

// A 200 x 100 window at (100, 50) with a 6 x 4 pixel sizing frame.
FrameGeometry Frame(bool rtl = false, bool appFrame = false) {
  FrameGeometry g;
  g.window = {100, 50, 300, 150};
  g.frameX = 6;
  g.frameY = 4;
  g.rightToLeft = rtl;
  g.applicationFrame = appFrame;
  return g;
}

struct PointCase {
  int x, y, code;
};

TEST(FrameHitTest, RegionsOfALeftToRightWindow) {
  const FrameGeometry g = Frame();
  for (const PointCase& c : {PointCase{200, 100, hit::kClient}, PointCase{106, 54, hit::kClient},
                             PointCase{293, 145, hit::kClient}, PointCase{100, 50, hit::kTopLeft},
                             PointCase{105, 53, hit::kTopLeft}, PointCase{299, 50, hit::kTopRight},
                             PointCase{100, 149, hit::kBottomLeft}, PointCase{299, 149, hit::kBottomRight},
                             PointCase{100, 100, hit::kLeft}, PointCase{299, 100, hit::kRight},
                             PointCase{200, 50, hit::kTop}, PointCase{200, 149, hit::kBottom},
                             PointCase{99, 100, hit::kNowhere}, PointCase{300, 100, hit::kNowhere},
                             PointCase{200, 150, hit::kNowhere}}) {
    SCOPED_TRACE(testing::Message() << "(" << c.x << "," << c.y << ")");
    EXPECT_EQ(FrameHitTest(g, c.x, c.y), c.code);
  }
}

TEST(FrameHitTest, RightToLeftWindowMirrorsLeftAndRightCodes) {
  const FrameGeometry g = Frame(true);
  for (const PointCase& c : {PointCase{299, 100, hit::kLeft}, PointCase{100, 100, hit::kRight},
                             PointCase{100, 50, hit::kTopRight}, PointCase{299, 50, hit::kTopLeft},
                             PointCase{100, 149, hit::kBottomRight}, PointCase{299, 149, hit::kBottomLeft},
                             PointCase{200, 50, hit::kTop}, PointCase{200, 149, hit::kBottom},
                             PointCase{200, 100, hit::kClient}}) {
    SCOPED_TRACE(testing::Message() << "(" << c.x << "," << c.y << ")");
    EXPECT_EQ(FrameHitTest(g, c.x, c.y), c.code);
  }
}

TEST(FrameHitTest, ApplicationFrameHasADoubleTopBand) {
  const FrameGeometry normal = Frame();
  const FrameGeometry app = Frame(false, true);
  EXPECT_EQ(FrameHitTest(normal, 200, 55), hit::kClient);
  EXPECT_EQ(FrameHitTest(app, 200, 55), hit::kTop);
  EXPECT_EQ(FrameHitTest(app, 200, 58), hit::kClient);
  EXPECT_EQ(FrameHitTest(app, 102, 55), hit::kLeft);  // corners stay one frame high
}

// 300 x 100 window at (0, 0); 4 x 3 frame; buttons 20 x 16 each; caption 18 high.
CaptionGeometry Caption(int buttons, bool rtl = false, bool appFrame = false) {
  CaptionGeometry g;
  g.window = {0, 0, 300, 100};
  g.frameX = 4;
  g.frameY = 3;
  g.captionHeight = 18;
  g.buttonWidth = 20;
  g.buttonHeight = 16;
  g.buttonCount = buttons;
  g.rightToLeft = rtl;
  g.applicationFrame = appFrame;
  return g;
}

TEST(CaptionHitTest, WithoutOwnButtonsOnlyTheBandIsCaption) {
  const CaptionGeometry g = Caption(0);
  EXPECT_EQ(CaptionHitTest(g, 150, 10), hit::kCaption);
  EXPECT_EQ(CaptionHitTest(g, 4, 3), hit::kCaption);
  EXPECT_EQ(CaptionHitTest(g, 3, 10), hit::kNowhere);    // in the left frame
  EXPECT_EQ(CaptionHitTest(g, 150, 2), hit::kNowhere);   // in the top frame
  EXPECT_EQ(CaptionHitTest(g, 150, 21), hit::kNowhere);  // below the caption
  EXPECT_EQ(CaptionHitTest(g, 296, 10), hit::kNowhere);
}

TEST(CaptionHitTest, ButtonLayoutByCountAndDirection) {
  struct Case {
    const char* what;
    int buttons;
    bool rtl;
    int x, code;
  };
  // Left to right, buttons end at x = 296: close [276,296), next [256,276), next [236,256).
  const Case cases[] = {
      {"close", 1, false, 290, hit::kClose},
      {"left of the only button", 1, false, 270, hit::kCaption},
      {"help", 2, false, 260, hit::kHelp},
      {"close of three", 3, false, 276, hit::kClose},
      {"maximize", 3, false, 275, hit::kMaxButton},
      {"minimize", 3, false, 240, hit::kMinButton},
      {"caption left of minimize", 3, false, 235, hit::kCaption},
      {"system menu", 3, false, 10, hit::kSysMenu},
      {"system menu ends", 3, false, 24, hit::kCaption},
      {"right frame", 3, false, 297, hit::kNowhere},
      {"mirrored close", 3, true, 5, hit::kClose},
      {"mirrored maximize", 3, true, 30, hit::kMaxButton},
      {"mirrored minimize", 3, true, 50, hit::kMinButton},
      {"mirrored system menu", 3, true, 290, hit::kSysMenu},
      {"mirrored caption", 3, true, 150, hit::kCaption},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CaptionHitTest(Caption(c.buttons, c.rtl), c.x, 10), c.code);
  }
}

TEST(CaptionHitTest, ButtonRowStartsOneFrameDownOrTwoForApplicationFrames) {
  EXPECT_EQ(CaptionHitTest(Caption(1), 290, 2), hit::kNowhere);
  EXPECT_EQ(CaptionHitTest(Caption(1), 290, 3), hit::kClose);
  EXPECT_EQ(CaptionHitTest(Caption(1), 290, 18), hit::kClose);
  EXPECT_EQ(CaptionHitTest(Caption(1), 290, 19), hit::kNowhere);
  const CaptionGeometry app = Caption(1, false, true);
  EXPECT_EQ(CaptionHitTest(app, 290, 5), hit::kNowhere);
  EXPECT_EQ(CaptionHitTest(app, 290, 6), hit::kClose);
  EXPECT_EQ(CaptionHitTest(app, 290, 21), hit::kClose);
}

}  // namespace
