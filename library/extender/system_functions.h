#pragma once
// System functions that older systems or Wine may lack, looked up once per process and per
// library, when first needed. Each pointer is null where the system does not offer it; callers
// fall back then. A library the process had not loaded is loaded from the system folder and kept
// for the life of the process, so the pointers stay valid.
#include <windows.h>
#include <propidl.h>

namespace dl::extender {

struct User32DpiFunctions {
  UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
  HANDLE(WINAPI* setThreadDpiAwarenessContext)(HANDLE) = nullptr;  // takes and returns a DPI_AWARENESS_CONTEXT
  BOOL(WINAPI* isNonClientDpiScalingEnabled)(HWND) = nullptr;
  BOOL(WINAPI* isWindowBroadcastingDpiToChildren)(HWND) = nullptr;
};
struct ShcoreFunctions {
  HRESULT(WINAPI* getDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;  // type 0: effective DPI
  HRESULT(WINAPI* getProcessDpiAwareness)(HANDLE, int*) = nullptr;
};
// Not imports: a GUI process seldom has ole32 or shlwapi (and what they bring: rpcrt4, combase,
// shcore) before its first window, and the library needs them only for some windows.
struct Ole32Functions {
  HRESULT(WINAPI* propVariantClear)(PROPVARIANT*) = nullptr;
};
struct ShlwapiFunctions {
  BOOL(WINAPI* pathMatchSpecA)(LPCSTR, LPCSTR) = nullptr;
};
struct DwmFunctions {
  HRESULT(WINAPI* setWindowAttribute)(HWND, DWORD, LPCVOID, DWORD) = nullptr;
  HRESULT(WINAPI* getWindowAttribute)(HWND, DWORD, PVOID, DWORD) = nullptr;
};

[[nodiscard]] const User32DpiFunctions& User32Dpi() noexcept;
[[nodiscard]] const ShcoreFunctions& Shcore() noexcept;
[[nodiscard]] const DwmFunctions& Dwm() noexcept;
[[nodiscard]] const Ole32Functions& Ole32() noexcept;
[[nodiscard]] const ShlwapiFunctions& Shlwapi() noexcept;
// Registers the common-control classes the library's own windows use ("tooltips_class32") in a
// process that has not done so; false when that is impossible.
[[nodiscard]] bool EnsureTooltipClass() noexcept;

}  // namespace dl::extender
