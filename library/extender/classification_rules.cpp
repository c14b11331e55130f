#include "library/extender/classification_rules.h"

namespace dl::extender {
namespace {
constexpr std::wstring_view kWpfPrefix = L"HwndWrapper[";
constexpr std::wstring_view kPartSeparator = L" - ";

bool StartsWith(std::wstring_view text, std::wstring_view prefix) noexcept {
  return text.substr(0, prefix.size()) == prefix;
}

std::wstring ComposeClassNameAt(const WindowTextSource& source, WindowRef wnd, int depth) {
  std::wstring name = source.ClassName(wnd);
  if (!IsWpfWrapperClass(name)) return name;
  name = StripWpfInstanceId(name);
  if (depth >= kMaxWpfNesting) return name;
  if (WindowRef child = source.FirstChild(wnd)) {
    name += kPartSeparator;
    name += ComposeClassNameAt(source, child, depth + 1);
  }
  return name;
}

std::wstring OwnCaption(const WindowTextSource& source, WindowRef wnd, unsigned timeoutMs) {
  // A time-out of 0 asks nothing (a send with no time-out would wait for ever on some systems).
  if (timeoutMs != 0 && !source.IsConsoleWindow(wnd)) {
    if (auto asked = source.AskedText(wnd, timeoutMs)) return std::wstring(CutAtFirstZero(*asked));
  }
  if (auto stored = source.StoredText(wnd)) return std::wstring(CutAtFirstZero(*stored));
  return {};
}

std::wstring ComposeCaptionAt(const WindowTextSource& source, WindowRef wnd, unsigned timeoutMs, int depth) {
  std::wstring caption = OwnCaption(source, wnd, timeoutMs);
  if (depth >= kMaxWpfNesting || !IsWpfWrapperClass(source.ClassName(wnd))) return caption;
  if (WindowRef child = source.FirstChild(wnd)) {
    caption += kPartSeparator;
    caption += ComposeCaptionAt(source, child, timeoutMs == 0 ? 0 : kCaptionTimeoutMs, depth + 1);
  }
  return caption;
}
}  // namespace

bool IsWpfWrapperClass(std::wstring_view className) noexcept {
  return className.size() >= kWpfMinimumLength && StartsWith(className, kWpfPrefix) &&
         className.back() == L']';
}

std::wstring StripWpfInstanceId(std::wstring_view className) {
  if (!IsWpfWrapperClass(className)) return std::wstring(className);
  const std::size_t closing = className.size() - 1;
  std::wstring result(className.substr(0, closing - kWpfInstanceIdLength));
  result += L']';
  return result;
}

std::wstring ComposeClassName(const WindowTextSource& source, WindowRef wnd) {
  return ComposeClassNameAt(source, wnd, 0);
}

std::wstring ComposeCaption(const WindowTextSource& source, WindowRef wnd, unsigned timeoutMs) {
  return ComposeCaptionAt(source, wnd, timeoutMs, 0);
}

std::wstring_view CutAtFirstZero(std::wstring_view text) noexcept {
  const auto zero = text.find(L'\0');
  return zero == std::wstring_view::npos ? text : text.substr(0, zero);
}

bool IsChromiumClassName(std::wstring_view composedClassName) noexcept {
  return composedClassName.find(L"Chrome_WidgetWin_") != std::wstring_view::npos ||
         composedClassName.find(L"YandexBrowser_WidgetWin_") != std::wstring_view::npos;
}

bool InSemicolonList(std::wstring_view list, std::wstring_view name) {
  std::wstring needle;
  needle.reserve(name.size() + 2);
  needle += L';';
  needle += name;
  needle += L';';
  return list.find(needle) != std::wstring_view::npos;
}

bool IsOfficeSingleDocumentClass(std::wstring_view className) noexcept {
  return StartsWith(className, L"MS-SDI");
}

bool IsOfficeMainWindowClass(std::wstring_view className) noexcept {
  if (className == L"XLMAIN" || className == L"OMain") return true;
  // "PP" + at least one digit + "FrameClass" (PowerPoint numbers its frame class by version).
  constexpr std::wstring_view kPrefix = L"PP";
  constexpr std::wstring_view kSuffix = L"FrameClass";
  if (className.size() < kPrefix.size() + 1 + kSuffix.size()) return false;
  if (!StartsWith(className, kPrefix)) return false;
  if (className.substr(className.size() - kSuffix.size()) != kSuffix) return false;
  const auto digits = className.substr(kPrefix.size(), className.size() - kPrefix.size() - kSuffix.size());
  for (wchar_t c : digits)
    if (c < L'0' || c > L'9') return false;
  return true;
}

MainWindowSearch MainWindowSearchFor(std::wstring_view rootClassName) noexcept {
  if (IsOfficeSingleDocumentClass(rootClassName)) return MainWindowSearch::kOffice;
  if (rootClassName == L"AcrobatOffscreenDocumentWnd") return MainWindowSearch::kAcrobat;
  return MainWindowSearch::kNone;
}

bool IsSearchedMainWindowClass(MainWindowSearch search, std::wstring_view className) noexcept {
  switch (search) {
    case MainWindowSearch::kOffice: return IsOfficeMainWindowClass(className);
    case MainWindowSearch::kAcrobat: return className == L"AdobeAcrobat";
    case MainWindowSearch::kNone: break;
  }
  return false;
}

bool IsMdiChildStyle(std::uint32_t style, std::uint32_t exStyle) noexcept {
  if (exStyle & kExStyleMdiChild) return true;
  return (style & kStyleChild) && (style & kStyleCaption) == kStyleCaption && !(style & kStylePopup);
}

int PlacementStateFromShowCommand(std::uint32_t showCommand) noexcept {
  constexpr std::uint32_t kShowMinimized = 2;  // SW_SHOWMINIMIZED
  constexpr std::uint32_t kShowMaximized = 3;  // SW_SHOWMAXIMIZED
  if (showCommand == kShowMinimized) return 1;
  if (showCommand == kShowMaximized) return 2;
  return 0;
}

bool IsConsoleClass(std::wstring_view className, bool windows7OrLater) noexcept {
  return !windows7OrLater && className == L"ConsoleWindowClass";
}

}  // namespace dl::extender
