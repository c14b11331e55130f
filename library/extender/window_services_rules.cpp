#include "library/extender/window_services_rules.h"

#include <algorithm>

namespace dl::extender {

std::uint8_t AlphaForTransparency(int percent) noexcept {
  const int p = std::clamp(percent, 0, 100);
  return static_cast<std::uint8_t>((100 - p) * 255 / 100);
}

int TransparencyForAlpha(std::uint8_t alpha) noexcept {
  // alpha * 100 / 255 in integers, rounded half to even.
  const int numerator = alpha * 100;
  int quotient = numerator / 255;
  const int twiceRemainder = 2 * (numerator % 255);
  if (twiceRemainder > 255 || (twiceRemainder == 255 && quotient % 2 == 1)) ++quotient;
  return 100 - quotient;
}

std::wstring ComposeTooltipText(std::wstring_view line0, std::wstring_view line1) {
  std::wstring text(line0);
  if (!line0.empty() && !line1.empty()) text += L"\r\n";
  text += line1;
  return text;
}

int TooltipVerticalOffset(TooltipCursorKind cursor, int monitorDpi) noexcept {
  int base = 20;
  if (cursor == TooltipCursorKind::kDiagonalSizing) base = 14;
  else if (cursor == TooltipCursorKind::kHorizontalSizing) base = 11;
  if (monitorDpi <= 0) monitorDpi = 96;
  return static_cast<int>(static_cast<long long>(base) * monitorDpi / 96);
}

PlainPoint PlaceTooltip(PlainPoint cursor, int offset, int width, int height, const PlainRect& workArea) noexcept {
  PlainPoint at{cursor.x, cursor.y + offset};
  if (at.x + width > workArea.right) at.x = workArea.right - width;
  // Above the cursor its bottom edge keeps the same distance; moving the top edge only by that
  // distance would leave a tooltip taller than the offset over the cursor and still across the edge.
  if (at.y + height > workArea.bottom) at.y = cursor.y - offset - height;
  return at;
}

bool AsksProcessDpiAwareness(const DpiAwarenessFacts& facts) noexcept {
  return facts.versionValid && facts.versionMajor >= 16;
}

bool UsesThreadDpiAwareness(const DpiAwarenessFacts& facts) noexcept {
  if (!facts.win10Build14393OrLater || !facts.officeLibraryLoaded) return false;
  if (AsksProcessDpiAwareness(facts) && facts.processPerMonitorAware) return true;
  if (!facts.executableIsOutlook || !facts.versionValid) return false;
  return facts.versionMajor > 16 || (facts.versionMajor == 16 && facts.versionRelease > 6499);
}

}  // namespace dl::extender
