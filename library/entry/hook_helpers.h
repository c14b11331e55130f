#pragma once
// Small steps that the global hook procedures share.
#include <windows.h>

namespace dl::entry {

// The main program's observer window, which stands in for a console window.
bool IsConsoleObserver(HWND wnd) noexcept;
// The console window that an observer stands for (its user data).
HWND ConsoleRealWindow(HWND observer) noexcept;
bool IsTopLevelApplicationWindow(HWND wnd);

// Reloading after an unload: once the messenger client finds a restarted main program,
// the application resumes work.
void ReloadIfServerReturned();
bool ApplicationIsUnloading();
// Installs the current thread's thread-local hooks unless they exist already.
void EnsureThreadHooked();

}  // namespace dl::entry
