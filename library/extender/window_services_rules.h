#pragma once
// The arithmetic of the window services, free of the system: transparency percent and
// layered-window alpha, the size/move tooltip's text and placement, and whether a process
// switches its threads' DPI awareness. No <windows.h>.
#include <cstdint>
#include <string>
#include <string_view>

namespace dl::extender {

// Transparency in percent: 0 opaque, 100 fully transparent. Out-of-range input is clamped.
[[nodiscard]] std::uint8_t AlphaForTransparency(int percent) noexcept;
// 100 - alpha / 255 * 100, rounded to the nearest integer with halves to even.
[[nodiscard]] int TransparencyForAlpha(std::uint8_t alpha) noexcept;

// Line 0, then "\r\n" when both lines are non-empty, then line 1.
[[nodiscard]] std::wstring ComposeTooltipText(std::wstring_view line0, std::wstring_view line1);

struct PlainPoint {
  int x = 0, y = 0;
  friend bool operator==(const PlainPoint&, const PlainPoint&) = default;
};
struct PlainRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

enum class TooltipCursorKind { kDiagonalSizing, kHorizontalSizing, kOther };
// How far below the cursor the tooltip sits, scaled from 96 DPI to the monitor's DPI.
[[nodiscard]] int TooltipVerticalOffset(TooltipCursorKind cursor, int monitorDpi) noexcept;
// Where the tooltip of the given size goes for the cursor: offset pixels below it, its right
// edge pulled back inside the work area, and offset pixels above the cursor when it would cross
// the work area's bottom edge (its bottom edge then offset pixels above the cursor).
[[nodiscard]] PlainPoint PlaceTooltip(PlainPoint cursor, int offset, int width, int height,
                                      const PlainRect& workArea) noexcept;

// What decides the thread DPI awareness switch of a process.
struct DpiAwarenessFacts {
  bool win10Build14393OrLater = false;
  bool officeLibraryLoaded = false;  // "mso.dll"
  bool executableIsOutlook = false;  // "outlook.exe"
  bool versionValid = false;
  std::uint16_t versionMajor = 0, versionRelease = 0;  // first and third part of the file version
  // GetProcessDpiAwareness succeeded and reported per-monitor awareness (2); only asked for
  // when the major file version is at least 16 (see AsksProcessDpiAwareness).
  bool processPerMonitorAware = false;
};
[[nodiscard]] bool AsksProcessDpiAwareness(const DpiAwarenessFacts& facts) noexcept;
[[nodiscard]] bool UsesThreadDpiAwareness(const DpiAwarenessFacts& facts) noexcept;

}  // namespace dl::extender
