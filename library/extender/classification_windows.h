#pragma once
// Kind-of-window tests used throughout the library. Class tests go by class atom
// where the class is one of the known ones, by name otherwise.
#include <windows.h>

namespace dl::extender {

[[nodiscard]] bool IsApplicationFrameWindow(HWND wnd) noexcept;
[[nodiscard]] bool IsImmersiveFrame(HWND wnd) noexcept;
[[nodiscard]] bool IsTabbedContainer(HWND wnd) noexcept;
[[nodiscard]] bool IsShellFolderWindow(HWND wnd) noexcept;
[[nodiscard]] bool IsImmersiveWindow(HWND wnd) noexcept;
[[nodiscard]] bool IsChromiumWindow(HWND wnd) noexcept;
[[nodiscard]] bool IsMdiChild(HWND wnd) noexcept;
// Only before Windows 7; never on later systems.
[[nodiscard]] bool IsConsoleWindow(HWND wnd) noexcept;
// The observer window a patched console carries (before Windows 7 only), or none.
[[nodiscard]] HWND ConsoleObserverOf(HWND consoleWnd) noexcept;
// A window whose parent is the message-only root.
[[nodiscard]] bool IsMessageOnlyWindow(HWND wnd) noexcept;
// One of this library's own windows (floating and toggle buttons, utility and
// messenger windows), which no rule ever applies to.
[[nodiscard]] bool IsOwnWindow(HWND wnd) noexcept;

// Whether a window is one the rule dispatcher should look at: an application's own
// top-level window, visible or not.
[[nodiscard]] bool IsTopLevelApplicationWindow(HWND wnd) noexcept;

}  // namespace dl::extender
