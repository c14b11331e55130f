#include "library/extender/whook.h"

#include <cstdint>
#include <utility>

#include "protocol/object_names.h"

namespace dl::extender {
namespace {

ATOM AddAtomOnce(const wchar_t* name, ATOM& slot) noexcept {
  // Global atoms count their references; one per library copy is enough.
  if (!slot) slot = ::GlobalAddAtomW(name);
  return slot;
}

constinit ATOM g_parkedAtom = 0;
constinit ATOM g_rehookedAtom = 0;

LONG_PTR SetProc(bool unicode, HWND window, void* proc) noexcept {
  const auto value = reinterpret_cast<LONG_PTR>(proc);
  return unicode ? ::SetWindowLongPtrW(window, GWLP_WNDPROC, value) : ::SetWindowLongPtrA(window, GWLP_WNDPROC, value);
}

}  // namespace

ATOM ParkedTrampolineAtom() noexcept {
  return AddAtomOnce(protocol::kParkedTrampolineAtomName, g_parkedAtom);
}
ATOM RehookedAtom() noexcept {
  return AddAtomOnce(protocol::kRehookedAtomName, g_rehookedAtom);
}

bool IsCallableWindowProc(WNDPROC proc) noexcept {
  if (!proc) return false;
  // user32 hands out 0xFFFFxxxx handles for procedures of the other character set.
  if ((reinterpret_cast<std::uintptr_t>(proc) >> 16) == 0xFFFF) return true;
  return !::IsBadCodePtr(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(proc)));
}

void* ParkedTrampolineOf(HWND window) noexcept {
  const ATOM atom = ParkedTrampolineAtom();
  if (!atom || ParkedInPropertyCount() <= 0) return nullptr;
  return ::GetPropW(window, MAKEINTATOM(atom));
}

void* RemoveParkedTrampolineProperty(HWND window) noexcept {
  const ATOM atom = ParkedTrampolineAtom();
  void* parked = atom ? ::RemovePropW(window, MAKEINTATOM(atom)) : nullptr;
  if (parked) CountParkedInProperty(false);
  return parked;
}

bool IsPlainCodeAddress(WNDPROC proc) noexcept {
  const auto address = reinterpret_cast<std::uintptr_t>(proc);
  if (!address || (address >> 16) == 0xFFFF || (address >> 16) == 0xFFFFFFFFFFFF) return false;
  MEMORY_BASIC_INFORMATION info{};
  if (::VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) != sizeof info) return false;
  constexpr DWORD kExecutable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  return info.State == MEM_COMMIT && (info.Protect & kExecutable) && !(info.Protect & PAGE_GUARD);
}

WHook::WHook(HWND window, WndMethod method, ATOM objectInstancePropId, ATOM rehookedPropId) noexcept
    : handle_(window),
      wndProc_(method),
      unicodeWindow_(::IsWindowUnicode(window) != FALSE),
      objectInstancePropId_(objectInstancePropId ? objectInstancePropId : ParkedTrampolineAtom()),
      rehookedPropId_(rehookedPropId ? rehookedPropId : RehookedAtom()) {
  HookWindow();
}

WHook::~WHook() { UnhookWindow(); }

void WHook::ParkInProperty() noexcept {
  const bool counted = CountsParking() && !::GetPropW(handle_, MAKEINTATOM(objectInstancePropId_));
  if (::SetPropW(handle_, MAKEINTATOM(objectInstancePropId_), newWndProc_) && counted) CountParkedInProperty(true);
}

void* WHook::RemoveParkedProperty() noexcept {
  if (CountsParking()) return RemoveParkedTrampolineProperty(handle_);
  return ::RemovePropW(handle_, MAKEINTATOM(objectInstancePropId_));
}

WNDPROC WHook::ValidOldProc() const noexcept {
  return IsCallableWindowProc(oldWndProc_) ? oldWndProc_ : DefaultWindowProc(unicodeWindow_);
}

void WHook::HookWindow() noexcept {
  if (enabled_ || !::IsWindow(handle_)) return;
  void* parked = ::GetPropW(handle_, MAKEINTATOM(objectInstancePropId_));
  if (parked && IsPoolEntry(parked)) {
    // Left by an earlier unhook, maybe of an earlier copy of the library: whatever subclassed
    // the window since stays on top. The property goes, so that nothing frees the trampoline
    // while we use it.
    (void)RemoveParkedProperty();
    newWndProc_ = parked;
    oldWndProc_ = TrampolineToDispatchForm(parked, &wndProc_);
  } else {
    newWndProc_ = AllocWndProcTrampoline(wndProc_);
    if (!newWndProc_) return;
    oldWndProc_ = reinterpret_cast<WNDPROC>(SetProc(unicodeWindow_, handle_, newWndProc_));
  }
  oldProcIsCode_ = IsPlainCodeAddress(oldWndProc_);
  enabled_ = true;
}

void WHook::UnhookWindow() noexcept {
  if (enabled_ && newWndProc_) {
    if (::IsWindow(handle_)) {
      ParkInProperty();
      TrampolineToForwarderForm(newWndProc_, ValidOldProc(), unicodeWindow_);
    } else {
      FreeWndProcTrampoline(newWndProc_);
      newWndProc_ = nullptr;
    }
  }
  // Nothing calls a retired trampoline once its window is gone.
  if (retiredWndProc_ && !::IsWindow(handle_)) FreeWndProcTrampoline(std::exchange(retiredWndProc_, nullptr));
  enabled_ = false;
  if (::IsWindow(handle_)) ::RemovePropW(handle_, MAKEINTATOM(rehookedPropId_));
}

void WHook::CallOldProc(HWND window, WindowMessage& message) {
  const WNDPROC proc = ValidOldProc();
  const auto msg = static_cast<UINT>(message.Msg);
  // Plain code of this process is called directly, as the system calls a window procedure of the
  // window's own character set: CallWindowProc would add nothing but its cost, paid on every
  // message of the window. Handles of the other character set need its translation.
  if (oldProcIsCode_ && proc == oldWndProc_) {
    message.Result = proc(window, msg, message.WParam, message.LParam);
    return;
  }
  message.Result = CallWindowProcFor(unicodeWindow_, proc, window, msg, message.WParam, message.LParam);
}

void WHook::RehookWindow(bool connect) noexcept {
  if (::GetPropW(handle_, MAKEINTATOM(rehookedPropId_))) return;
  if (connect) {
    HookWindow();
    ::SetPropW(handle_, MAKEINTATOM(rehookedPropId_), reinterpret_cast<HANDLE>(1));
  } else if (enabled_) {
    (void)RemoveParkedProperty();
    ::SetPropW(handle_, MAKEINTATOM(objectInstancePropId_), nullptr);
    auto classProc = reinterpret_cast<WNDPROC>(unicodeWindow_ ? ::GetClassLongPtrW(handle_, GCLP_WNDPROC)
                                                              : ::GetClassLongPtrA(handle_, GCLP_WNDPROC));
    if (!classProc) classProc = DefaultWindowProc(unicodeWindow_);
    TrampolineToForwarderForm(newWndProc_, classProc, unicodeWindow_);
    enabled_ = false;
  }
}

void WHook::RehookWindowFromScratch() noexcept {
  if (enabled_ && newWndProc_ && ::IsWindow(handle_)) {
    // A subclasser above may have kept the current trampoline as its previous procedure: it
    // must go on reaching the procedure below, so the trampoline becomes a forwarder instead of
    // going back to the pool. One is kept to be freed with the window; should a second rehook
    // find the slot taken, the older one simply stays a forwarder.
    TrampolineToForwarderForm(newWndProc_, ValidOldProc(), unicodeWindow_);
    if (!retiredWndProc_) retiredWndProc_ = newWndProc_;
    newWndProc_ = nullptr;
    enabled_ = false;
  } else if (enabled_ && newWndProc_) {
    // The window is gone: nothing calls the trampoline any more.
    FreeWndProcTrampoline(std::exchange(newWndProc_, nullptr));
    enabled_ = false;
  }
  if (::IsWindow(handle_)) (void)RemoveParkedProperty();
  HookWindow();
}

}  // namespace dl::extender
