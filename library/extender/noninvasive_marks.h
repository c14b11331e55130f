#pragma once
// Windows that this process marked for non-invasive following. The mark itself is a window
// property, but asking for a property is a round trip to the window server, and the hooks would
// ask on every message of every window. The process keeps its own list of the windows it
// marked, so that windows it never marked are answered without leaving the process.
#include <windows.h>

namespace dl::extender {

// Sets the property and remembers the window.
void MarkNoninvasive(HWND wnd, ATOM property) noexcept;
// A window that goes leaves the list (its handle may come back on another window).
void ForgetNoninvasive(HWND wnd) noexcept;
// Whether the window may carry the mark: false only for windows this process never marked.
// A handle that was marked once and reused by another window still answers true; the caller
// then reads the property itself.
[[nodiscard]] bool MayBeMarkedNoninvasive(HWND wnd) noexcept;
// The property test behind the list: reads the property only for windows on the list.
[[nodiscard]] bool IsMarkedNoninvasive(HWND wnd, ATOM property) noexcept;

}  // namespace dl::extender
