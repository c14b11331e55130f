#pragma once
// The rule dispatcher's view of a window extender, and the owner face an extender
// calls back on. The extender subsystem's TWindowExtender implements IWindowExtender and
// is registered as "WINDOWEXTENDER".
#include <windows.h>

#include <string>
#include <string_view>

#include "library/runtime/library_services.h"
#include "library/runtime/plugin_interfaces.h"
#include "library/model/items.h"

namespace dl::rules {

struct IWindowExtender : virtual model::ISlave, virtual entry::IServerMessageRedirector {
  static constexpr model::Guid kIid = model::MakeGuid("{2B7F4E1C-8A35-4D60-9E21-6C0B5A9D3F48}");
  [[nodiscard]] virtual HWND GetWnd() const noexcept = 0;
  virtual void AttachWindow(HWND wnd) = 0;
  virtual void DetachWindow() = 0;
  [[nodiscard]] virtual int WindowProcNestingCount() const noexcept = 0;
  virtual void RequestExclusiveAccess() noexcept = 0;
  virtual void ReleaseExclusiveAccess() noexcept = 0;
  // The decoded parameter of that name from the extender's parameter string, or the default.
  [[nodiscard]] virtual std::wstring GetParamDefault(std::wstring_view name, std::wstring_view def) const = 0;
  // The window handler's integer property (a refresh marks extenders with "processed").
  virtual void SetHandlerProperty(std::wstring_view name, int value) = 0;
  [[nodiscard]] virtual int GetHandlerProperty(std::wstring_view name, int def) const = 0;
  virtual void RemoveHandlerProperty(std::wstring_view name) = 0;
  // What the hook procedures use of the extender; lives as long as the extender.
  [[nodiscard]] virtual entry::IWindowExtender* HookView() noexcept = 0;
};

struct IWindowExtenderOwner : virtual model::IItem {
  static constexpr model::Guid kIid = model::MakeGuid("{D41A6C93-5E07-4B2F-8C1D-70E3F9A24B56}");
  // An extender asks to be closed; kind is an unregistration kind.
  virtual void OnClose(IWindowExtender* extender, int unregKind) = 0;
};

// The registered type name extenders are created under.
inline constexpr wchar_t kWindowExtenderClassName[] = L"WINDOWEXTENDER";

}  // namespace dl::rules
