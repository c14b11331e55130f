#include "library/extender/system_functions.h"

namespace dl::extender {
namespace {

HMODULE SystemModule(const wchar_t* name) noexcept {
  if (HMODULE loaded = ::GetModuleHandleW(name)) return loaded;
  if (HMODULE loaded = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return loaded;
  // Systems without the search flags: the system folder's full path, never the search order.
  wchar_t path[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + ::lstrlenW(name) >= MAX_PATH) return nullptr;
  path[length] = L'\\';
  ::lstrcpyW(path + length + 1, name);
  return ::LoadLibraryW(path);
}

template <typename Fn>
void Resolve(Fn& slot, HMODULE module, const char* name) noexcept {
  slot = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace

// Each holder is trivially destructible: nothing of it runs at process exit.
const User32DpiFunctions& User32Dpi() noexcept {
  static const User32DpiFunctions functions = [] {
    User32DpiFunctions f;
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    Resolve(f.getDpiForWindow, user32, "GetDpiForWindow");
    Resolve(f.setThreadDpiAwarenessContext, user32, "SetThreadDpiAwarenessContext");
    Resolve(f.isNonClientDpiScalingEnabled, user32, "IsNonClientDpiScalingEnabled");
    Resolve(f.isWindowBroadcastingDpiToChildren, user32, "IsWindowBroadcastingDpiToChildren");
    return f;
  }();
  return functions;
}

const ShcoreFunctions& Shcore() noexcept {
  static const ShcoreFunctions functions = [] {
    ShcoreFunctions f;
    const HMODULE shcore = SystemModule(L"shcore.dll");
    Resolve(f.getDpiForMonitor, shcore, "GetDpiForMonitor");
    Resolve(f.getProcessDpiAwareness, shcore, "GetProcessDpiAwareness");
    return f;
  }();
  return functions;
}

const DwmFunctions& Dwm() noexcept {
  static const DwmFunctions functions = [] {
    DwmFunctions f;
    const HMODULE dwmapi = SystemModule(L"dwmapi.dll");
    Resolve(f.setWindowAttribute, dwmapi, "DwmSetWindowAttribute");
    Resolve(f.getWindowAttribute, dwmapi, "DwmGetWindowAttribute");
    return f;
  }();
  return functions;
}

const Ole32Functions& Ole32() noexcept {
  static const Ole32Functions functions = [] {
    Ole32Functions f;
    Resolve(f.propVariantClear, SystemModule(L"ole32.dll"), "PropVariantClear");
    return f;
  }();
  return functions;
}

const ShlwapiFunctions& Shlwapi() noexcept {
  static const ShlwapiFunctions functions = [] {
    ShlwapiFunctions f;
    Resolve(f.pathMatchSpecA, SystemModule(L"shlwapi.dll"), "PathMatchSpecA");
    return f;
  }();
  return functions;
}

bool EnsureTooltipClass() noexcept {
  static const bool registered = [] {
    WNDCLASSEXW info{sizeof(info)};
    if (::GetClassInfoExW(nullptr, L"tooltips_class32", &info)) return true;
    struct InitControls {
      DWORD size;
      DWORD classes;
    };
    BOOL(WINAPI * initCommonControlsEx)(const InitControls*) = nullptr;
    Resolve(initCommonControlsEx, SystemModule(L"comctl32.dll"), "InitCommonControlsEx");
    constexpr DWORD kBarClasses = 0x4;  // ICC_BAR_CLASSES: toolbar, status bar, trackbar, tooltips
    const InitControls controls{sizeof(InitControls), kBarClasses};
    return initCommonControlsEx && initCommonControlsEx(&controls) &&
           ::GetClassInfoExW(nullptr, L"tooltips_class32", &info);
  }();
  return registered;
}

}  // namespace dl::extender
