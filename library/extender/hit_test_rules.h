#pragma once
// Geometry of the frame and caption hit tests, over plain rectangles in screen
// coordinates. The results are the system's hit-test codes. No <windows.h>.

namespace dl::extender {

struct HitRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  [[nodiscard]] bool Contains(int x, int y) const noexcept { return x >= left && x < right && y >= top && y < bottom; }
};

namespace hit {
inline constexpr int kNowhere = 0;
inline constexpr int kClient = 1;
inline constexpr int kCaption = 2;
inline constexpr int kSysMenu = 3;
inline constexpr int kMinButton = 8;
inline constexpr int kMaxButton = 9;
inline constexpr int kLeft = 10;
inline constexpr int kRight = 11;
inline constexpr int kTop = 12;
inline constexpr int kTopLeft = 13;
inline constexpr int kTopRight = 14;
inline constexpr int kBottom = 15;
inline constexpr int kBottomLeft = 16;
inline constexpr int kBottomRight = 17;
inline constexpr int kClose = 20;
inline constexpr int kHelp = 21;
}  // namespace hit

// Swaps left and right codes (edges and corners) for a mirrored window.
[[nodiscard]] int MirrorHitCode(int code) noexcept;

struct FrameGeometry {
  HitRect window;
  int frameX = 0;  // sizing-frame width, already scaled to the window's DPI
  int frameY = 0;
  bool applicationFrame = false;  // its top band is twice as high
  bool rightToLeft = false;
};
// Client (1) inside the frame, a corner or edge code in the sizing border, else 0.
[[nodiscard]] int FrameHitTest(const FrameGeometry& g, int x, int y) noexcept;

struct CaptionGeometry {
  HitRect window;
  int frameX = 0;  // sizing or dialog frame, scaled
  int frameY = 0;
  int captionHeight = 0;  // height of the caption bar below the frame (used without buttons)
  int buttonWidth = 0;    // one button, already reduced and scaled
  int buttonHeight = 0;
  int buttonCount = 0;  // the window's own buttons: 0, 1 (close), 2 (+help), 3 (+max, min)
  bool applicationFrame = false;
  bool rightToLeft = false;
};
[[nodiscard]] int CaptionHitTest(const CaptionGeometry& g, int x, int y) noexcept;

}  // namespace dl::extender
