#pragma once
// Describes a real window for rule matching: executable, class and caption.
#include <windows.h>

#include "library/extender/classification_rules.h"
#include "library/model/rule_matching.h"
#include "library/model/window_rule_info.h"

namespace dl::rules {

// File name through the process-image path routine (console windows inside the
// console host count for their client process), "\" in front when it has no folder,
// upper-cased on request; the composed class name, with " - " and the application
// user model id for application-frame windows on Windows 10; the caption, at most 100
// characters, in the ANSI code page, asked with the given time-out (0: read without a message).
[[nodiscard]] model::TWindowInfo DescribeWindow(HWND wnd, bool upperCaseFileName,
                                               unsigned captionTimeoutMs = extender::kCaptionTimeoutMs);

// What the criteria compare, in the ANSI code page; the file name upper-cased.
[[nodiscard]] model::RuleSubject RuleSubjectOf(const model::TWindowInfo& window);

// The application user model id from the window's property store; empty when the
// window has none or the system cannot tell.
[[nodiscard]] std::wstring WindowAppUserModelId(HWND wnd) noexcept;

}  // namespace dl::rules
