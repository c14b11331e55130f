#include "library/extender/classification_windows.h"

#include <atomic>

#include "library/extender/classification_atoms.h"
#include "library/extender/classification_rules.h"
#include "library/extender/process_flags.h"
#include "library/extender/window_identity.h"
#include "platform/handles.h"
#include "protocol/object_names.h"

namespace dl::extender {
namespace {
// The message-only root of this process's desktop, once a message-only window showed it.
constinit std::atomic<HWND> g_messageOnlyRoot{nullptr};

using GetApplicationUserModelIdFn = LONG(WINAPI*)(HANDLE, UINT32*, PWSTR);

bool ProcessHasAppModelId(DWORD processId) noexcept {
  static const auto query = reinterpret_cast<GetApplicationUserModelIdFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetApplicationUserModelId")));
  if (!query || processId == 0) return false;
  platform::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return false;
  UINT32 length = 0;
  return query(process.get(), &length, nullptr) == ERROR_INSUFFICIENT_BUFFER;
}

DWORD StyleOf(HWND wnd) noexcept { return static_cast<DWORD>(::GetWindowLongPtrW(wnd, GWL_STYLE)); }
DWORD ExStyleOf(HWND wnd) noexcept { return static_cast<DWORD>(::GetWindowLongPtrW(wnd, GWL_EXSTYLE)); }
}  // namespace

bool IsApplicationFrameWindow(HWND wnd) noexcept {
  return OsFlags().win10OrLater && WindowHasClass(wnd, KnownClass::kApplicationFrameWindow);
}

bool IsImmersiveFrame(HWND wnd) noexcept { return WindowHasClass(wnd, KnownClass::kMetroFrameWindow); }

bool IsTabbedContainer(HWND wnd) noexcept { return WindowHasClass(wnd, KnownClass::kTabbedContainer); }

bool IsShellFolderWindow(HWND wnd) noexcept {
  return WindowHasClass(wnd, KnownClass::kCabinetWClass) || WindowHasClass(wnd, KnownClass::kExploreWClass);
}

bool IsImmersiveWindow(HWND wnd) noexcept {
  platform::LastErrorGuard keepError;
  if (IsApplicationFrameWindow(wnd) || WindowHasClass(wnd, KnownClass::kCoreWindow) ||
      WindowHasClass(wnd, KnownClass::kModernStickyTopWindow))
    return true;
  if (!OsFlags().win10OrLater) return false;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  return ProcessHasAppModelId(pid);
}

bool IsChromiumWindow(HWND wnd) noexcept {
  try {
    return IsChromiumClassName(ComposedClassName(wnd));
  } catch (...) {
    return false;
  }
}

bool IsMdiChild(HWND wnd) noexcept {
  platform::LastErrorGuard keepError;
  return ::IsWindow(wnd) && IsMdiChildStyle(StyleOf(wnd), ExStyleOf(wnd));
}

bool IsConsoleWindow(HWND wnd) noexcept {
  if (OsFlags().win7OrLater) return false;
  try {
    platform::LastErrorGuard keepError;
    return IsConsoleClass(ClassNameOf(wnd), false);
  } catch (...) {
    return false;
  }
}

HWND ConsoleObserverOf(HWND consoleWnd) noexcept {
  if (!IsConsoleWindow(consoleWnd)) return nullptr;
  platform::LastErrorGuard keepError;
  const ATOM observerAtom = ::GlobalFindAtomW(protocol::kConsoleObserverAtomName);
  if (!observerAtom) return nullptr;
  auto observer = static_cast<HWND>(::GetPropW(consoleWnd, MAKEINTATOM(observerAtom)));
  return observer && ::IsWindow(observer) ? observer : nullptr;
}

// Called for every message the get-message hook sees, so it must not leave the process on
// the common path. The parent of a top-level window is the desktop window, and that of a
// message-only window the message-only root; both belong to another process, so asking for
// their class would be a window-server request each time. Both are found once per process.
bool IsMessageOnlyWindow(HWND wnd) noexcept {
  if (!wnd) return false;
  platform::LastErrorGuard keepError;
  HWND parent = ::GetAncestor(wnd, GA_PARENT);
  if (!parent) return false;
  static const HWND desktop = ::GetDesktopWindow();
  if (parent == desktop) return false;
  if (HWND root = g_messageOnlyRoot.load(std::memory_order_relaxed)) return parent == root;
  if (!WindowHasClass(parent, KnownClass::kMessage)) return false;
  g_messageOnlyRoot.store(parent, std::memory_order_relaxed);
  return true;
}

bool IsOwnWindow(HWND wnd) noexcept {
  for (KnownClass cls : {KnownClass::kFloatingWindow, KnownClass::kToggleWindow, KnownClass::kUtilWindow,
                         KnownClass::kUtilWindowW, KnownClass::kMessengerClientWindow,
                         KnownClass::kConfigBuilderMessengerClientWindow, KnownClass::kLocalUnhookWindow})
    if (WindowHasClass(wnd, cls)) return true;
  return false;
}

// A window qualifies when it is what a user sees as an application window:
//  - it exists, is not message-only and is not one of this library's own windows;
//  - it is top-level (a style without WS_CHILD; a style of 0 is a window still
//    being set up), or an MDI child, which users treat as a window of its own;
//  - a tool window qualifies only with an owner: unowned tool windows are
//    palettes, tray helpers and other hidden machinery.
// Visibility does not matter: a window is looked at before it is first shown.
bool IsTopLevelApplicationWindow(HWND wnd) noexcept {
  platform::LastErrorGuard keepError;
  if (!wnd || !::IsWindow(wnd)) return false;
  const DWORD style = StyleOf(wnd);
  const DWORD exStyle = ExStyleOf(wnd);
  const bool toolWindow = (exStyle & WS_EX_TOOLWINDOW) != 0;
  const bool child = (style & WS_CHILD) != 0;
  const bool mdiChild = IsMdiChildStyle(style, exStyle);
  if (toolWindow) {
    // The owner is asked for directly: GetParent reports it only for popups.
    if (!mdiChild && (child || !::GetWindow(wnd, GW_OWNER))) return false;
  } else if (!mdiChild && (style == 0 || child)) {
    return false;
  }
  if (IsMessageOnlyWindow(wnd) || IsOwnWindow(wnd)) return false;
  return true;
}

}  // namespace dl::extender
