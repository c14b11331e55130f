#include "library/extender/hit_test_rules.h"

namespace dl::extender {

int MirrorHitCode(int code) noexcept {
  switch (code) {
    case hit::kLeft: return hit::kRight;
    case hit::kRight: return hit::kLeft;
    case hit::kTopLeft: return hit::kTopRight;
    case hit::kTopRight: return hit::kTopLeft;
    case hit::kBottomLeft: return hit::kBottomRight;
    case hit::kBottomRight: return hit::kBottomLeft;
    default: return code;
  }
}

int FrameHitTest(const FrameGeometry& g, int x, int y) noexcept {
  const HitRect& w = g.window;
  if (!w.Contains(x, y)) return hit::kNowhere;
  const int topBand = g.applicationFrame ? 2 * g.frameY : g.frameY;
  const HitRect inner{w.left + g.frameX, w.top + topBand, w.right - g.frameX, w.bottom - g.frameY};
  if (inner.Contains(x, y)) return hit::kClient;

  const bool leftBand = x < w.left + g.frameX;
  const bool rightBand = x >= w.right - g.frameX;
  const bool topCorner = y < w.top + g.frameY;
  const bool bottomCorner = y >= w.bottom - g.frameY;
  int code = hit::kNowhere;
  if (leftBand && topCorner) code = hit::kTopLeft;
  else if (rightBand && topCorner) code = hit::kTopRight;
  else if (leftBand && bottomCorner) code = hit::kBottomLeft;
  else if (rightBand && bottomCorner) code = hit::kBottomRight;
  else if (leftBand) code = hit::kLeft;
  else if (y < w.top + topBand) code = hit::kTop;
  else if (rightBand) code = hit::kRight;
  else if (y >= w.bottom - g.frameY) code = hit::kBottom;
  return g.rightToLeft ? MirrorHitCode(code) : code;
}

int CaptionHitTest(const CaptionGeometry& g, int x, int y) noexcept {
  const HitRect& w = g.window;
  if (!w.Contains(x, y)) return hit::kNowhere;
  if (g.buttonCount <= 0) {
    const HitRect band{w.left + g.frameX, w.top + g.frameY, w.right - g.frameX, w.top + g.frameY + g.captionHeight};
    return band.Contains(x, y) ? hit::kCaption : hit::kNowhere;
  }

  const int top = w.top + (g.applicationFrame ? 2 * g.frameY : g.frameY);
  const int bottom = top + g.buttonHeight;
  if (y < top || y >= bottom) return hit::kNowhere;

  // Buttons run from the far edge inwards: close first, then help or maximize and minimize.
  int codes[3] = {hit::kClose, hit::kNowhere, hit::kNowhere};
  int count = 1;
  if (g.buttonCount == 2) {
    codes[1] = hit::kHelp;
    count = 2;
  } else if (g.buttonCount >= 3) {
    codes[1] = hit::kMaxButton;
    codes[2] = hit::kMinButton;
    count = 3;
  }

  // Distance of the point from the edge the buttons start at; the layout is the same
  // in both directions once measured that way.
  const int fromButtonEdge = g.rightToLeft ? x - (w.left + g.frameX) : (w.right - g.frameX - 1) - x;
  const int fromMenuEdge = g.rightToLeft ? (w.right - g.frameX - 1) - x : x - (w.left + g.frameX);
  if (fromButtonEdge < 0 || fromMenuEdge < 0 || g.buttonWidth <= 0) return hit::kNowhere;
  const int slot = fromButtonEdge / g.buttonWidth;
  if (slot < count) return codes[slot];
  if (fromMenuEdge < g.buttonWidth) return hit::kSysMenu;
  return hit::kCaption;
}

}  // namespace dl::extender
