#pragma once
// The z-order band step of window consideration: windows of the shell's own bands
// (lock screen, start menu, system overlays) are never extended.
#include <windows.h>

namespace dl::rules {

struct BandInputs {
  bool win8OrLater = false;
  bool win10OrLater = false;
  bool frameHostProcess = false;  // "applicationframehost.exe"
};

// Whether a window in `band` (-1: unreadable) of class "Windows.UI.Core.CoreWindow" or not
// passes the step. Bands 1, 2, 16 and 4 pass; 8 only in the frame host on Windows 10.
[[nodiscard]] bool BandPasses(int band, bool coreWindow, const BandInputs& in) noexcept;

// The band step for a real window. When user32 has no GetWindowBand (Wine, systems
// before Windows 8) every window passes: the band is then unknown, not forbidden.
[[nodiscard]] bool WindowPassesBandStep(HWND wnd) noexcept;

}  // namespace dl::rules
