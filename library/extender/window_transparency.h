#pragma once
// Transparency of a window in percent (0 opaque, 100 fully transparent) through its layered
// attributes, and the extender's one-time preparation of its window for transparency changes.
#include <windows.h>

#include <cstdint>

namespace dl::extender {

// The extender properties this service keeps.
inline constexpr wchar_t kFirstTimeTransparencyAppliedProperty[] = L"FirstTimeTransparencyApplied";
inline constexpr wchar_t kCurrentWindowTransparencyProperty[] = L"CurrentWindowTransparency";

// The extender's named properties as this service sees them (the extender notifies its
// subscribers of every change).
class TransparencyProperties {
 public:
  [[nodiscard]] virtual bool HasProperty(const wchar_t* name) = 0;
  virtual void SetProperty(const wchar_t* name, std::intptr_t value) = 0;
  virtual void RemoveProperty(const wchar_t* name) = 0;

 protected:
  ~TransparencyProperties() = default;
};

// The percent of the layered attributes' alpha, 0 when they cannot be read or carry no alpha.
// A failed read leaves the thread's last error as it was when it was 0 before.
[[nodiscard]] int ReadWindowTransparency(HWND window) noexcept;
// Makes the window layered if needed and sets the alpha for percent, keeping its colour key.
bool SetWindowTransparency(HWND window, int percent) noexcept;
// As above; a hidden window is shown just off the left edge of the primary screen for that and
// then hidden and moved back.
bool SetHiddenWindowTransparency(HWND window, int percent) noexcept;
// Opaque again (when layered), then not layered.
void RemoveWindowTransparency(HWND window) noexcept;

// Once per extender until finalized: records the current transparency and, for an opaque
// window, makes it a layered window at full opacity without a visible flash.
void InitializeTransparency(HWND window, TransparencyProperties& properties) noexcept;
void FinalizeTransparency(HWND window, TransparencyProperties& properties) noexcept;

}  // namespace dl::extender
