#include "library/extender/classification_atoms.h"

#include <array>
#include <atomic>

#include "protocol/window_class_names.h"

namespace dl::extender {
namespace {
constexpr std::size_t kCount = static_cast<std::size_t>(KnownClass::kCount);

constexpr std::array<const wchar_t*, kCount> kNames = {
    L"TApplication",
    L"obj_App",
    protocol::kFloatingWindowClass.wide,
    protocol::kToggleWindowClass.wide,
    L"Windows.UI.Core.CoreWindow",
    L"QL_MetroFrameWindow",
    L"ApplicationFrameWindow",
    L"Modern_Sticky_Top_Window",
    L"Message",
    protocol::kTabbedContainerWindowClass.wide,
    protocol::kVirtualDesktopTaskbarClass.wide,
    protocol::kMultiMonitorTaskbarClass.wide,
    L"CabinetWClass",
    L"ExploreWClass",
    protocol::kUtilityWindowClass.wide,
    protocol::kUtilityWindowClassW.wide,
    protocol::kMessengerClientWindowClass.wide,
    protocol::kConfigBuilderMessengerClientWindowClass.wide,
    protocol::kLocalUnhookWindowClass.wide,
    protocol::kConsoleObserverWindowClass.wide,
};

// Plain values: no constructors or destructors run for them at load or unload.
std::array<std::atomic<ATOM>, kCount> g_atoms{};
std::atomic<bool> g_registered{false};
}  // namespace

const wchar_t* KnownClassName(KnownClass cls) noexcept {
  const auto i = static_cast<std::size_t>(cls);
  return i < kCount ? kNames[i] : L"";
}

void RegisterClassAtoms() noexcept {
  if (g_registered.load(std::memory_order_acquire)) return;
  // Registering twice returns the same atom, so racing threads agree.
  for (std::size_t i = 0; i < kCount; ++i)
    g_atoms[i].store(static_cast<ATOM>(::RegisterClipboardFormatW(kNames[i])), std::memory_order_relaxed);
  g_registered.store(true, std::memory_order_release);
}

ATOM KnownClassAtom(KnownClass cls) noexcept {
  RegisterClassAtoms();
  const auto i = static_cast<std::size_t>(cls);
  return i < kCount ? g_atoms[i].load(std::memory_order_relaxed) : 0;
}

bool HasClassName(HWND wnd, const wchar_t* className) noexcept {
  if (!wnd || !className) return false;
  const DWORD saved = ::GetLastError();
  wchar_t name[256];
  const int n = ::GetClassNameW(wnd, name, 256);
  ::SetLastError(saved);
  // Class names are matched like Windows matches them: without regard to case.
  return n > 0 && ::CompareStringOrdinal(name, n, className, -1, TRUE) == CSTR_EQUAL;
}

bool WindowHasClass(HWND wnd, KnownClass cls) noexcept {
  if (!wnd) return false;
  const ATOM wanted = KnownClassAtom(cls);
  if (wanted == 0) return false;
  const DWORD saved = ::GetLastError();
  const ATOM atom = static_cast<ATOM>(::GetClassWord(wnd, GCW_ATOM));
  ::SetLastError(saved);
  return atom == wanted;
}

}  // namespace dl::extender
