#pragma once
// One-line RAII owners for Windows handles: the deleter is a template argument,
// the "invalid" value is part of the type.
#include <windows.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace dl::platform {

template <typename T, auto Close, std::intptr_t InvalidBits = 0>
class UniqueAny {
  static T InvalidValue() noexcept {
    if constexpr (std::is_pointer_v<T>)
      return reinterpret_cast<T>(InvalidBits);
    else
      return static_cast<T>(InvalidBits);
  }

 public:
  UniqueAny() noexcept = default;
  explicit UniqueAny(T value) noexcept : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  [[nodiscard]] T get() const noexcept { return value_; }
  [[nodiscard]] bool valid() const noexcept { return value_ != InvalidValue(); }
  explicit operator bool() const noexcept { return valid(); }
  [[nodiscard]] T release() noexcept { return std::exchange(value_, InvalidValue()); }
  void reset(T value = InvalidValue()) noexcept {
    T old = std::exchange(value_, value);
    if (old != InvalidValue()) Close(old);
  }
  // For out-parameters: frees what is held and hands out the slot.
  T* put() noexcept {
    reset();
    return &value_;
  }

 private:
  T value_ = InvalidValue();
};

namespace detail {
inline void CloseKernelHandle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void Unhook(HHOOK h) noexcept { ::UnhookWindowsHookEx(h); }
inline void UnhookEvent(HWINEVENTHOOK h) noexcept { ::UnhookWinEvent(h); }
inline void DestroyMenuHandle(HMENU h) noexcept { ::DestroyMenu(h); }
inline void DestroyWindowHandle(HWND h) noexcept { ::DestroyWindow(h); }
inline void UnmapView(void* p) noexcept { ::UnmapViewOfFile(p); }
inline void CloseModule(HMODULE h) noexcept { ::FreeLibrary(h); }
inline void DeleteGdiObject(HGDIOBJ h) noexcept { ::DeleteObject(h); }
inline void DeleteMemoryDc(HDC h) noexcept { ::DeleteDC(h); }
inline void CloseRegKey(HKEY h) noexcept { ::RegCloseKey(h); }
inline void DeleteAtom(ATOM a) noexcept { ::GlobalDeleteAtom(a); }
inline void FreeVirtual(void* p) noexcept { ::VirtualFree(p, 0, MEM_RELEASE); }
inline void DestroyIconHandle(HICON h) noexcept { ::DestroyIcon(h); }
template <typename T>
void DeleteGdi(T h) noexcept {
  ::DeleteObject(h);
}
}  // namespace detail

using UniqueHandle = UniqueAny<HANDLE, detail::CloseKernelHandle>;  // events, mutexes, mappings, processes
using UniqueFileHandle = UniqueAny<HANDLE, detail::CloseKernelHandle, -1>;
using UniqueHook = UniqueAny<HHOOK, detail::Unhook>;
using UniqueWinEventHook = UniqueAny<HWINEVENTHOOK, detail::UnhookEvent>;
using UniqueMenu = UniqueAny<HMENU, detail::DestroyMenuHandle>;
using UniqueWindow = UniqueAny<HWND, detail::DestroyWindowHandle>;
using UniqueView = UniqueAny<void*, detail::UnmapView>;
using UniqueModule = UniqueAny<HMODULE, detail::CloseModule>;
using UniqueGdiObject = UniqueAny<HGDIOBJ, detail::DeleteGdiObject>;
using UniqueMemoryDc = UniqueAny<HDC, detail::DeleteMemoryDc>;
using UniqueRegKey = UniqueAny<HKEY, detail::CloseRegKey>;
using UniqueGlobalAtom = UniqueAny<ATOM, detail::DeleteAtom>;
using UniqueVirtualMemory = UniqueAny<void*, detail::FreeVirtual>;
using UniqueIcon = UniqueAny<HICON, detail::DestroyIconHandle>;
// Typed GDI owners: a brush cannot be handed where a font is wanted.
using UniqueBrush = UniqueAny<HBRUSH, detail::DeleteGdi<HBRUSH>>;
using UniquePen = UniqueAny<HPEN, detail::DeleteGdi<HPEN>>;
using UniqueFont = UniqueAny<HFONT, detail::DeleteGdi<HFONT>>;
using UniqueBitmap = UniqueAny<HBITMAP, detail::DeleteGdi<HBITMAP>>;
using UniqueRegion = UniqueAny<HRGN, detail::DeleteGdi<HRGN>>;

// Releases a window DC obtained with GetDC/GetWindowDC.
class ScopedWindowDc {
 public:
  ScopedWindowDc(HWND wnd, HDC dc) noexcept : wnd_(wnd), dc_(dc) {}
  // GetDC of the window (null: the screen).
  explicit ScopedWindowDc(HWND wnd) noexcept : wnd_(wnd), dc_(::GetDC(wnd)) {}
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  ~ScopedWindowDc() {
    if (dc_) ::ReleaseDC(wnd_, dc_);
  }
  [[nodiscard]] HDC get() const noexcept { return dc_; }

 private:
  HWND wnd_;
  HDC dc_;
};

// BeginPaint for the scope, EndPaint at its end: WM_PAINT handlers validate what they painted
// however they leave.
class PaintScope {
 public:
  explicit PaintScope(HWND wnd) noexcept : wnd_(wnd), dc_(::BeginPaint(wnd, &paint_)) {}
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() {
    if (dc_) ::EndPaint(wnd_, &paint_);
  }
  [[nodiscard]] HDC dc() const noexcept { return dc_; }
  [[nodiscard]] const PAINTSTRUCT& paint() const noexcept { return paint_; }

 private:
  HWND wnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a DC and selects the previous one back on scope exit.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() {
    if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Holds a critical section for the lifetime of the object that owns it.
class CriticalSection {
 public:
  CriticalSection() noexcept { ::InitializeCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  ~CriticalSection() { ::DeleteCriticalSection(&cs_); }
  void lock() noexcept { ::EnterCriticalSection(&cs_); }
  void unlock() noexcept { ::LeaveCriticalSection(&cs_); }
  bool try_lock() noexcept { return ::TryEnterCriticalSection(&cs_) != FALSE; }

 private:
  CRITICAL_SECTION cs_;
};

// Holds an SRW lock exclusively for the scope. SRW locks need no set-up or teardown,
// so a constinit SRWLOCK serves where nothing may run at load or unload.
class ExclusiveSrwLock {
 public:
  explicit ExclusiveSrwLock(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
  ExclusiveSrwLock(const ExclusiveSrwLock&) = delete;
  ExclusiveSrwLock& operator=(const ExclusiveSrwLock&) = delete;
  ~ExclusiveSrwLock() { ::ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK& lock_;
};

// Restores the thread's last-error value on exit when it was 0 on entry,
// so that code running inside a foreign application leaves no trace there.
class LastErrorGuard {
 public:
  LastErrorGuard() noexcept : saved_(::GetLastError()) {}
  LastErrorGuard(const LastErrorGuard&) = delete;
  LastErrorGuard& operator=(const LastErrorGuard&) = delete;
  ~LastErrorGuard() {
    if (saved_ == 0) ::SetLastError(0);
  }

 private:
  DWORD saved_;
};

}  // namespace dl::platform
