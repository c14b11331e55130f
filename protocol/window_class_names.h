#pragma once
// Window classes that cross a process boundary: this library's own windows (which every
// library copy must recognise, wherever it runs, so that no rule is ever applied to them)
// and the windows of the main program that the library and the host look for.
#include "protocol/ascii_name.h"

namespace dl::protocol {

// This library's own windows.
inline constexpr AsciiName kFloatingWindowClass{"Quillon_CB_FloatingWindow"};
inline constexpr AsciiName kToggleWindowClass{"Quillon_CB_ToggleWindow"};
inline constexpr AsciiName kUtilityWindowClass{"TPUtilWindow-KVR-ACAF45DF-C00A-4DBC-99EA-0E7D92B9DBEC"};
inline constexpr AsciiName kUtilityWindowClassW{"TPUtilWindowW-KVR-ACAF45DF-C00A-4DBC-99EA-0E7D92B9DBEC"};
inline constexpr AsciiName kMessengerClientWindowClass{"dlm_MessengerClientWindow"};
inline constexpr AsciiName kConfigBuilderMessengerClientWindowClass{"dlm_ConfigBuilder_MessengerClientWindow"};
inline constexpr AsciiName kLocalUnhookWindowClass{"dlm_LocalUnhookWnd"};

// The main program's windows.
inline constexpr AsciiName kMessengerServerWindowClass{"dlm_MessengerServerWindow"};
inline constexpr AsciiName kMessengerShellServerWindowClass{"dlm_MessengerShellServerWindow"};
inline constexpr AsciiName kControlCenterHandlerWindowClass{"Quillon_ControlCenterHandlerWindow"};
inline constexpr AsciiName kShellControlCenterHandlerWindowClass{"Quillon_ShellControlCenterHandlerWindow"};
inline constexpr AsciiName kTabbedContainerWindowClass{"Quillon_TabbedExplorerContainerWindow"};
inline constexpr AsciiName kVirtualDesktopTaskbarClass{"Quillon_VirtualDesktopTaskbar"};
inline constexpr AsciiName kMultiMonitorTaskbarClass{"Quillon_MultiMonitorTaskbar"};
// The observer window that a patched console carries; its user data is the console window.
inline constexpr AsciiName kConsoleObserverWindowClass{"Quillon_ConsolePatch_ObserverClass"};

}  // namespace dl::protocol
