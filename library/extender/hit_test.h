#pragma once
// The frame and caption hit tests of a real window: the geometry of hit_test_rules.h
// fed with the window's rectangle, styles and DPI-scaled system metrics.
#include <windows.h>

#include "library/extender/dpi_queries.h"
#include "library/extender/hit_test_rules.h"

namespace dl::extender {

// DPI of the window (the system DPI where per-window DPI is unknown); SystemDpi() is in dpi_queries.h.
[[nodiscard]] UINT WindowDpi(HWND wnd) noexcept;

[[nodiscard]] FrameGeometry FrameGeometryOf(HWND wnd) noexcept;
[[nodiscard]] CaptionGeometry CaptionGeometryOf(HWND wnd, int ownButtonCount) noexcept;

// point in screen coordinates.
[[nodiscard]] int FrameHitTest(HWND wnd, POINT point) noexcept;
[[nodiscard]] int CaptionHitTest(HWND wnd, POINT point, int ownButtonCount) noexcept;

}  // namespace dl::extender
