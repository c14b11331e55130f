// The services that belong to the extender's window rather than to one of its parts:
// transparency, the size/move tooltip, DPI values, cloaking and app-frame icons. The message path
// switches them on and off; detach finishes what they left on the window.
#include <climits>

#include "library/extender/window_extender.h"
#include "library/extender/window_transparency.h"

namespace dl::extender {
namespace {

constexpr std::intptr_t kAbsent = INTPTR_MIN;

// The extender's properties as the transparency service sees them; every change reaches the
// property subscribers (a floating window follows the transparency that way).
class PropertyView final : public TransparencyProperties {
 public:
  explicit PropertyView(IWindowHandler& handler) noexcept : handler_(handler) {}
  bool HasProperty(const wchar_t* name) override { return handler_.GetProp(name, kAbsent) != kAbsent; }
  void SetProperty(const wchar_t* name, std::intptr_t value) override { handler_.SetProp(name, value); }
  void RemoveProperty(const wchar_t* name) override { handler_.RemoveProp(name); }

 private:
  IWindowHandler& handler_;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Transparency.

void TWindowExtender::InitializeTransparency() {
  if (!wnd_) return;
  PropertyView properties(*this);
  if (!properties.HasProperty(kFirstTimeTransparencyAppliedProperty)) {
    // Seen before the preparation changes it: what detach has to put back.
    const bool layered = (::GetWindowLongPtrW(wnd_, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    const DWORD lastError = ::GetLastError();
    const bool readable = layered && ::GetLayeredWindowAttributes(wnd_, &key, &alpha, &flags);
    ::SetLastError(lastError);
    if (!layered || (readable && !(flags & LWA_ALPHA))) transparencyOrigin_ = TransparencyOrigin::kOpaque;
    else if (readable) transparencyOrigin_ = TransparencyOrigin::kOwnAlpha;
    else transparencyOrigin_ = TransparencyOrigin::kUntouched;  // drawn through UpdateLayeredWindow
    transparencyAtInitialize_ = ReadWindowTransparency(wnd_);
  }
  extender::InitializeTransparency(wnd_, properties);
}

void TWindowExtender::FinalizeTransparency() {
  if (!wnd_) return;
  PropertyView properties(*this);
  extender::FinalizeTransparency(wnd_, properties);
  transparencyOrigin_ = TransparencyOrigin::kNone;
}

bool TWindowExtender::SetTransparency(int percent) {
  if (!wnd_) return false;
  // Prepared first, so that detach knows what to put back.
  InitializeTransparency();
  if (transparencyOrigin_ == TransparencyOrigin::kUntouched) return false;  // its picture is the app's
  percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  if (!SetWindowTransparency(wnd_, percent)) return false;
  SetProp(kCurrentWindowTransparencyProperty, percent);
  return true;
}

int TWindowExtender::GetTransparency() const { return wnd_ ? ReadWindowTransparency(wnd_) : 0; }

void TWindowExtender::RemoveTransparency() {
  if (!wnd_) return;
  RemoveWindowTransparency(wnd_);
  SetProp(kCurrentWindowTransparencyProperty, 0);
}

// ---------------------------------------------------------------------------------------
// Size/move tooltip, DPI, cloaking, frame icons.

void TWindowExtender::ShowSizeMoveTooltip(int index, const std::wstring& caption) {
  if (!wnd_) return;
  if (!tooltip_) {
    if (caption.empty()) return;  // nothing to show, nothing to hide
    tooltip_ = std::make_unique<SizeMoveTooltip>(wnd_);
  }
  tooltip_->Show(index, caption);
}

int TWindowExtender::GetWindowDPI() {
  return static_cast<int>(wnd_ ? dpiCache_.GetWindowDPI(wnd_) : SystemDpi());
}

int TWindowExtender::GetWindowNonClientDPI() {
  return static_cast<int>(wnd_ ? dpiCache_.GetWindowNonClientDPI(wnd_, isApplicationFrameWindow_) : SystemDpi());
}

bool TWindowExtender::CloakWindow() { return wnd_ && cloaking_.Cloak(wnd_) == 1; }

bool TWindowExtender::UncloakWindow() { return wnd_ && cloaking_.Uncloak(wnd_) == 1; }

void TWindowExtender::RefreshFrameIcons() {
  if (!wnd_ || !isApplicationFrameWindow_) return;
  HostedAppIconSource source;
  if (const HostedAppIconLookup lookup = GetHostedAppIconLookup())
    source = [lookup](HWND frame, int large, int small) { return lookup(frame, large, small); };
  frameIcons_.Refresh(wnd_, GetProp(kIconChangedProperty, 0) != 0, source);
}

// ---------------------------------------------------------------------------------------
// At detach, after the parts have let go of the window.

void TWindowExtender::DetachWindowServices() {
  tooltip_.reset();
  try {
    PropertyView properties(*this);
    if (properties.HasProperty(kFirstTimeTransparencyAppliedProperty)) {
      switch (transparencyOrigin_) {
        case TransparencyOrigin::kOwnAlpha:
          // The application's own transparency, as it was before the rule.
          SetWindowTransparency(wnd_, transparencyAtInitialize_);
          SetProp(kCurrentWindowTransparencyProperty, transparencyAtInitialize_);
          RemoveProp(kFirstTimeTransparencyAppliedProperty);
          break;
        case TransparencyOrigin::kUntouched:
          SetProp(kCurrentWindowTransparencyProperty, transparencyAtInitialize_);
          RemoveProp(kFirstTimeTransparencyAppliedProperty);
          break;
        default:
          extender::FinalizeTransparency(wnd_, properties);
          break;
      }
    }
  } catch (...) {
    // A property subscriber that fails must not stop the detach.
  }
  transparencyOrigin_ = TransparencyOrigin::kNone;
  cloaking_.UncloakAtDetach(wnd_);
  cloaking_ = WindowCloaking();  // a later attach starts without this window's state
  dpiCache_.Clear();
  dpiCache_.ResetTargetRectForDPIChange();
  frameIcons_ = FrameIcons();
}

}  // namespace dl::extender
