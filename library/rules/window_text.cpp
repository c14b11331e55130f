#include "library/rules/window_text.h"

#include <cwchar>

#include "library/extender/window_identity.h"
#include "library/rules/window_description.h"
#include "platform/text.h"

namespace dl::rules {

std::string ReadCaption(HWND wnd) {
  wchar_t buffer[kMaxCaptionChars + 1] = {};
  const int n = ::GetWindowTextW(wnd, buffer, kMaxCaptionChars + 1);
  if (n <= 0) return {};
  return platform::WideToAnsi(std::wstring_view(buffer, static_cast<std::size_t>(n)));
}

std::string CaptionFromSetText(HWND, LPARAM text) {
  const auto* chars = reinterpret_cast<const wchar_t*>(text);
  if (!chars) return {};
  return platform::WideToAnsi(std::wstring_view(chars, ::wcsnlen(chars, kMaxCaptionChars)));
}

std::wstring ComposedClassNameOf(HWND wnd) { return extender::ComposedClassName(wnd); }

WindowDescription DescribeRealWindow(HWND wnd, unsigned captionTimeoutMs) {
  const model::TWindowInfo info = DescribeWindow(wnd, false, captionTimeoutMs);
  return WindowDescription{wnd, info.FileName, info.WindowClass, info.WindowCaption};
}

}  // namespace dl::rules
