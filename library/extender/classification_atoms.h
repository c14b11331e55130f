#pragma once
// Class atoms of the window classes that are tested often. A clipboard format
// registered under a name has the same atom as a window class of that name, so the
// atoms are known before any such class exists and a window is tested without
// reading its class name.
#include <windows.h>

namespace dl::extender {

enum class KnownClass {
  kTApplication,
  kObjApp,
  kFloatingWindow,
  kToggleWindow,
  kCoreWindow,
  kMetroFrameWindow,
  kApplicationFrameWindow,
  kModernStickyTopWindow,
  kMessage,
  kTabbedContainer,
  kVirtualDesktopTaskbar,
  kMultiMonitorTaskbar,
  kCabinetWClass,
  kExploreWClass,
  kUtilWindow,
  kUtilWindowW,
  // Also this library's own windows, so that they are never taken for application windows.
  kMessengerClientWindow,
  kConfigBuilderMessengerClientWindow,
  kLocalUnhookWindow,
  // The main program's stand-in for a console window.
  kConsoleObserver,
  kCount
};

[[nodiscard]] const wchar_t* KnownClassName(KnownClass cls) noexcept;
// Registers all names once per library load; later calls are free.
void RegisterClassAtoms() noexcept;
[[nodiscard]] ATOM KnownClassAtom(KnownClass cls) noexcept;
[[nodiscard]] bool WindowHasClass(HWND wnd, KnownClass cls) noexcept;
// For classes that are not known ones: compares the class name, without regard to case as
// the atom test does. Costs a class-name read; use the atom test where speed matters.
[[nodiscard]] bool HasClassName(HWND wnd, const wchar_t* className) noexcept;

}  // namespace dl::extender
