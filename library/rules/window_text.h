#pragma once
// The caption and class name of a real window, as the dispatcher tracks them.
#include <windows.h>

#include <string>

#include "library/extender/classification_rules.h"
#include "library/rules/rule_source.h"

namespace dl::rules {

inline constexpr int kMaxCaptionChars = 100;

// Handle, executable path, composed class name and caption, as rules are matched against.
// The caption is asked with the given time-out (0: read without a message).
[[nodiscard]] WindowDescription DescribeRealWindow(HWND wnd, unsigned captionTimeoutMs = extender::kCaptionTimeoutMs);
// The caption, at most 100 characters, in the system's ANSI code page.
[[nodiscard]] std::string ReadCaption(HWND wnd);
// The caption a WM_SETTEXT carries (its lParam, in this process), cut the same way.
[[nodiscard]] std::string CaptionFromSetText(HWND wnd, LPARAM text);
// The class name as classification composes it; empty for a window that is gone.
[[nodiscard]] std::wstring ComposedClassNameOf(HWND wnd);

}  // namespace dl::rules
