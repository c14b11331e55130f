#pragma once
// What a window is and where it belongs: composed class name and caption, root
// window, owning process and its image path, placement state. All of these read
// foreign windows and must cope with windows that vanish or never answer.
#include <windows.h>

#include <string>

#include "library/extender/classification_rules.h"

namespace dl::extender {

// The class name, with WPF wrapper classes rewritten (instance id removed, the
// child's composed class name appended).
[[nodiscard]] std::wstring ComposedClassName(HWND wnd);
// The caption as the window reports it within timeoutMs per query, else the text
// the system stores for it; WPF wrappers get their child's caption appended.
[[nodiscard]] std::wstring ComposedCaption(HWND wnd, unsigned timeoutMs = kCaptionTimeoutMs);
// The plain class name (at most 255 characters), empty when the window is gone.
[[nodiscard]] std::wstring ClassNameOf(HWND wnd);

// The window that window-level actions apply to: up through owners and parents to
// the top, then Office single-document and Acrobat document windows are replaced by
// their application's main window.
[[nodiscard]] HWND RootWindow(HWND wnd);

// The process id of a window; inside the console host a console window yields its
// client process.
[[nodiscard]] DWORD ProcessOfWindow(HWND wnd) noexcept;
// The image path of a process (long-path rule applied); the current process answers
// with its lower-case executable path. allowLimitedQuery also tries the limited
// query right when the full one is refused. Empty when nothing works.
[[nodiscard]] std::wstring ImagePathOfProcess(DWORD processId, bool allowLimitedQuery);
// The current process when the name is its own, else the first process with that
// executable name (and that parent, unless parentProcessId is 0); 0 if none.
[[nodiscard]] DWORD FindProcessByExecutableName(const std::wstring& name, DWORD parentProcessId = 0);

// 1 minimized, 2 maximized, 0 otherwise (and for a window that is gone).
[[nodiscard]] int PlacementState(HWND wnd) noexcept;

// The system-backed text source used by the composition rules.
class SystemWindowTextSource final : public WindowTextSource {
 public:
  [[nodiscard]] std::wstring ClassName(WindowRef wnd) const override;
  [[nodiscard]] WindowRef FirstChild(WindowRef wnd) const override;
  [[nodiscard]] bool IsConsoleWindow(WindowRef wnd) const override;
  [[nodiscard]] std::optional<std::wstring> AskedText(WindowRef wnd, unsigned timeoutMs) const override;
  [[nodiscard]] std::optional<std::wstring> StoredText(WindowRef wnd) const override;
};

// A caption longer than this is cut: a foreign window may report any length.
inline constexpr std::size_t kMaxAskedCaptionLength = 32768;
// The stored text is read up to this many characters.
inline constexpr std::size_t kMaxStoredCaptionLength = 1024;

}  // namespace dl::extender
