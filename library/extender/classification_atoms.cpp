#include "library/extender/classification_atoms.h"

#include <array>
#include <atomic>

namespace dl::extender {
namespace {
constexpr std::size_t kCount = static_cast<std::size_t>(KnownClass::kCount);

constexpr std::array<const wchar_t*, kCount> kNames = {
    L"TApplication",
    L"obj_App",
    L"Quillon_CB_FloatingWindow",
    L"Quillon_CB_ToggleWindow",
    L"Windows.UI.Core.CoreWindow",
    L"QL_MetroFrameWindow",
    L"ApplicationFrameWindow",
    L"Modern_Sticky_Top_Window",
    L"Message",
    L"Quillon_TabbedExplorerContainerWindow",
    L"Quillon_VirtualDesktopTaskbar",
    L"Quillon_MultiMonitorTaskbar",
    L"CabinetWClass",
    L"ExploreWClass",
    L"TPUtilWindow-KVR-ACAF45DF-C00A-4DBC-99EA-0E7D92B9DBEC",
    L"TPUtilWindowW-KVR-ACAF45DF-C00A-4DBC-99EA-0E7D92B9DBEC",
    L"dlm_MessengerClientWindow",
    L"dlm_ConfigBuilder_MessengerClientWindow",
    L"dlm_LocalUnhookWnd",
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
