#pragma once
// The two global hook procedures that InstallMainHooks installs for the whole desktop.
#include <windows.h>

namespace dl::entry {

LRESULT CALLBACK GetMessageProc(int code, WPARAM removal, LPARAM message) noexcept;
LRESULT CALLBACK ShellProc(int code, WPARAM wParam, LPARAM lParam) noexcept;

}  // namespace dl::entry
