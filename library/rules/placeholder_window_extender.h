#pragma once
// Stand-in for the window extender, registered as "WINDOWEXTENDER" until the extender
// subsystem provides the real class: it keeps its parameter string and its window and
// follows the extender life cycle, but attaches nothing to the window.
#include <map>
#include <string>

#include "library/rules/window_extender_interfaces.h"
#include "platform/handles.h"

namespace dl::rules {

class TPlaceholderWindowExtender
    : public model::ObjectClass<TPlaceholderWindowExtender, model::TAbstractItem, L"TWindowExtender">,
      public virtual rules::IWindowExtender,
      public entry::IWindowExtender {
 public:
  TPlaceholderWindowExtender() = default;

  // ISlave.
  void Init(model::IItem* owner) override { owner_ = owner; }
  void Done() override { owner_.Reset(); }
  void Bind() override {}
  void Unbind() override {}
  [[nodiscard]] model::RefPtr<model::IItem> GetOwner() const override { return owner_; }

  // IWindowExtender.
  [[nodiscard]] HWND GetWnd() const noexcept override { return wnd_; }
  void AttachWindow(HWND wnd) override { wnd_ = wnd; }
  void DetachWindow() override {}
  [[nodiscard]] int WindowProcNestingCount() const noexcept override { return 0; }
  void RequestExclusiveAccess() noexcept override { exclusive_.lock(); }
  void ReleaseExclusiveAccess() noexcept override { exclusive_.unlock(); }
  [[nodiscard]] std::wstring GetParamDefault(std::wstring_view name, std::wstring_view def) const override;
  void SetHandlerProperty(std::wstring_view name, int value) override;
  [[nodiscard]] int GetHandlerProperty(std::wstring_view name, int def) const override;
  void RemoveHandlerProperty(std::wstring_view name) override;
  [[nodiscard]] entry::IWindowExtender* HookView() noexcept override { return this; }
  void OnMessageFromServer(HWND, std::wstring_view, int, const entry::CommandData&) override {}

  // The hooks' view: nothing to route yet.
  entry::IMessageHandler* GetMessageHandler() override { return nullptr; }
  entry::IMessageHandler* FindAction(const wchar_t*) override { return nullptr; }
  void ResetHook() override {}

  // Resolve the IItem operations that reach this class along two paths.
  [[nodiscard]] std::wstring GetName() const override { return TAbstractItem::GetName(); }
  void SetName(std::wstring_view name) override { TAbstractItem::SetName(name); }
  void ParseParams(std::wstring_view params) override { TAbstractItem::ParseParams(params); }
  [[nodiscard]] bool IsObjectOfClass(model::TAbstractClass cls) const noexcept override {
    return TAbstractItem::IsObjectOfClass(cls);
  }

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;
  void SetParam(const std::wstring& name, const model::Variant& value) override;

 private:
  model::RefPtr<model::IItem> owner_;
  HWND wnd_ = nullptr;
  std::map<std::wstring, std::wstring, std::less<>> params_;  // as given: free text still hex-encoded
  std::map<std::wstring, int, std::less<>> properties_;
  platform::CriticalSection exclusive_;
};

// Registers the placeholder under "WINDOWEXTENDER" unless a class has that name already.
void RegisterPlaceholderWindowExtender() noexcept;

}  // namespace dl::rules
