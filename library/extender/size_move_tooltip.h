#pragma once
// The tooltip that follows the cursor while a window is moved or sized: two lines of text (for
// example position and size), created on first text, destroyed when both lines are empty.
#include <windows.h>

#include <functional>
#include <string>

#include "platform/handles.h"

namespace dl::extender {

class SizeMoveTooltip {
 public:
  // The work area of the monitor under a point, from the multi-monitor center; false when it
  // cannot answer (the system's monitor information is used then).
  using WorkAreaSource = std::function<bool(POINT, RECT&)>;

  explicit SizeMoveTooltip(HWND owner) noexcept : owner_(owner) {}
  ~SizeMoveTooltip() { Destroy(); }
  SizeMoveTooltip(const SizeMoveTooltip&) = delete;
  SizeMoveTooltip& operator=(const SizeMoveTooltip&) = delete;

  // Index 0 or 1; anything else is ignored.
  void Show(int index, const std::wstring& caption) noexcept;
  void Hide(int index) noexcept { Show(index, std::wstring()); }
  // Also on the owner's WM_DESTROY and at detach.
  void Destroy() noexcept;

  [[nodiscard]] HWND Window() const noexcept { return window_; }
  [[nodiscard]] const std::wstring& Text() const noexcept { return text_; }
  [[nodiscard]] int FontHeight() const noexcept { return fontHeight_; }
  [[nodiscard]] bool HasOwnFont() const noexcept { return font_.valid(); }
  [[nodiscard]] HGDIOBJ OwnFont() const noexcept { return font_.get(); }
  void SetWorkAreaSource(WorkAreaSource source) noexcept { workAreaSource_ = std::move(source); }

 private:
  void Rebuild() noexcept;
  bool Create() noexcept;
  void ApplyFont(POINT cursor) noexcept;
  void SetMaxTipWidth() noexcept;
  void UpdateAndPlace() noexcept;
  RECT WorkAreaAt(POINT point) const noexcept;

  HWND owner_;
  std::wstring lines_[2];
  std::wstring text_;
  HWND window_ = nullptr;
  platform::UniqueGdiObject font_;
  int fontHeight_ = 0;
  WorkAreaSource workAreaSource_;
};

}  // namespace dl::extender
