#pragma once
// Window-procedure trampolines: small pieces of code outside the library image that a window
// can use as its procedure. In dispatch form a trampoline calls a method (code + object) with the
// window and a message record; in forwarder form it passes every message on to another window
// procedure with CallWindowProc, so a window keeps working after the library has gone.
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace dl::extender {

// The message as a method sees it; the trampoline fills it with Result = 0.
struct WindowMessage {
  UINT_PTR Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};
static_assert(sizeof(WindowMessage) == 32);

// Not noexcept: an exception of the window's own code (its previous procedure) passes through a
// method on its way to the application's catch; a method lets nothing of its own out.
using WndMethodCode = void (*)(void* self, HWND window, WindowMessage* message);

// A method bound to its object. The stub calls code(self, window, &message).
struct WndMethod {
  WndMethodCode code = nullptr;
  void* self = nullptr;
  explicit operator bool() const noexcept { return code != nullptr && self != nullptr; }
};

// Binds a member function `void T::F(HWND, WindowMessage&)` to an object.
template <auto F, typename T>
WndMethod MakeWndMethod(T* object) noexcept {
  return WndMethod{[](void* self, HWND window, WindowMessage* message) {
                     (static_cast<T*>(self)->*F)(window, *message);
                   },
                   object};
}

// Returns a trampoline in dispatch form bound to the method, or null when no memory is left
// or the method is empty.
[[nodiscard]] void* AllocWndProcTrampoline(WndMethod method) noexcept;
// Gives a trampoline back to the pool. Ignores null, anything that is not an entry of the pool,
// and entries that are free already.
void FreeWndProcTrampoline(void* trampoline) noexcept;
// Gives back a trampoline that an unhook left parked in forwarder form on a window that has
// since been destroyed (the service message for that carries it). Ignores everything else, above
// all trampolines in dispatch form: a live window may be using those.
void FreeParkedTrampoline(void* trampoline) noexcept;

// Back to dispatch form (bound to the method when given); returns the procedure it forwarded
// to, or null when it was in dispatch form already.
WNDPROC TrampolineToDispatchForm(void* trampoline, const WndMethod* method) noexcept;
// To forwarder form: every call goes to proc through CallWindowProcW (unicode) or A.
void TrampolineToForwarderForm(void* trampoline, WNDPROC proc, bool unicode) noexcept;

// How many trampolines wait parked in the default window property, for every copy of the library
// in the process: while there are none, a window's destruction needs no property lookup.
void CountParkedInProperty(bool parked) noexcept;
[[nodiscard]] long ParkedInPropertyCount() noexcept;

[[nodiscard]] bool IsTrampolineInDispatchForm(const void* trampoline) noexcept;
[[nodiscard]] bool IsPoolEntry(const void* trampoline) noexcept;
[[nodiscard]] std::size_t TrampolineBlockCount() noexcept;

// Unit start: finds the pool state in the process-local storage, or creates it there. Every copy
// of the library in the process, at the same time or one after the other, works on that one
// pool, so there is nothing to hand over at unload.
void InitTrampolinePool() noexcept;

// Default window procedures and CallWindowProc of user32, by character set. Whatever the called
// procedure throws passes on to the caller.
[[nodiscard]] WNDPROC DefaultWindowProc(bool unicode) noexcept;
LRESULT CallWindowProcFor(bool unicode, WNDPROC proc, HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace dl::extender
