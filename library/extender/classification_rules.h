#pragma once
// Name and style rules for classifying foreign windows. Pure functions over plain
// values: no <windows.h>, so they build and run under the sanitizers as well.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dl::extender {

// A window handle as an opaque number, so that the rules need no window types.
using WindowRef = std::uintptr_t;

// WPF wraps every top-level window in a class "HwndWrapper[<exe>;<thread>;<GUID>]".
// Only names longer than 50 characters carry the per-instance GUID.
inline constexpr std::size_t kWpfMinimumLength = 51;
inline constexpr std::size_t kWpfInstanceIdLength = 36;
[[nodiscard]] bool IsWpfWrapperClass(std::wstring_view className) noexcept;
// Removes the instance GUID (the 36 characters before the closing bracket).
// Names that are not WPF wrapper classes come back unchanged.
[[nodiscard]] std::wstring StripWpfInstanceId(std::wstring_view className);

// The composed class name (or caption) of a window with a WPF wrapper class and a
// child: own part, " - ", the child's composed part. The chain is followed this deep.
inline constexpr int kMaxWpfNesting = 8;

// What composing a name or caption needs to know about a window. Implementations
// return empty text / no window for a window that no longer exists.
class WindowTextSource {
 public:
  virtual ~WindowTextSource() = default;
  [[nodiscard]] virtual std::wstring ClassName(WindowRef wnd) const = 0;
  [[nodiscard]] virtual WindowRef FirstChild(WindowRef wnd) const = 0;
  [[nodiscard]] virtual bool IsConsoleWindow(WindowRef wnd) const = 0;
  // The text the window reports when asked (length, then text); nothing when a
  // query fails or the window does not answer within timeoutMs.
  [[nodiscard]] virtual std::optional<std::wstring> AskedText(WindowRef wnd, unsigned timeoutMs) const = 0;
  // The text the system stores for the window, read without sending it a
  // message; nothing when reading it sets an error.
  [[nodiscard]] virtual std::optional<std::wstring> StoredText(WindowRef wnd) const = 0;
};

// Time-out of each caption query at the top level and for WPF children. A time-out of 0
// reads the stored text only and sends nothing.
inline constexpr unsigned kCaptionTimeoutMs = 100;

[[nodiscard]] std::wstring ComposeClassName(const WindowTextSource& source, WindowRef wnd);
[[nodiscard]] std::wstring ComposeCaption(const WindowTextSource& source, WindowRef wnd,
                                          unsigned timeoutMs = kCaptionTimeoutMs);

// Text up to (not including) its first zero character.
[[nodiscard]] std::wstring_view CutAtFirstZero(std::wstring_view text) noexcept;

// Chromium-family top-level windows, judged by the composed class name.
[[nodiscard]] bool IsChromiumClassName(std::wstring_view composedClassName) noexcept;

// ";" + name + ";" occurs in list (exact, case-sensitive: callers lower both sides
// where a list is meant to ignore case).
[[nodiscard]] bool InSemicolonList(std::wstring_view list, std::wstring_view name);

// Office single-document windows ("MS-SDI...") stand for the application's main
// window, whose class is "XLMAIN", "OMain" or "PP<digits>FrameClass".
[[nodiscard]] bool IsOfficeSingleDocumentClass(std::wstring_view className) noexcept;
[[nodiscard]] bool IsOfficeMainWindowClass(std::wstring_view className) noexcept;

// Which main window stands in for a root window of the given class, if any.
enum class MainWindowSearch { kNone, kOffice, kAcrobat };
[[nodiscard]] MainWindowSearch MainWindowSearchFor(std::wstring_view rootClassName) noexcept;
[[nodiscard]] bool IsSearchedMainWindowClass(MainWindowSearch search, std::wstring_view className) noexcept;

// Style bits, with the values the system gives them.
inline constexpr std::uint32_t kStyleChild = 0x40000000u;
inline constexpr std::uint32_t kStylePopup = 0x80000000u;
inline constexpr std::uint32_t kStyleCaption = 0x00C00000u;
inline constexpr std::uint32_t kExStyleMdiChild = 0x00000040u;
inline constexpr std::uint32_t kExStyleToolWindow = 0x00000080u;
inline constexpr std::uint32_t kExStyleLayoutRtl = 0x00400000u;

[[nodiscard]] bool IsMdiChildStyle(std::uint32_t style, std::uint32_t exStyle) noexcept;

// Placement state: 1 minimized, 2 maximized, 0 otherwise (from the show command).
[[nodiscard]] int PlacementStateFromShowCommand(std::uint32_t showCommand) noexcept;

// Console windows are special only before Windows 7.
[[nodiscard]] bool IsConsoleClass(std::wstring_view className, bool windows7OrLater) noexcept;

}  // namespace dl::extender
