#pragma once
// Base of every plug-in: a named item that keeps its owner between Init and Done and
// ignores commands and window messages unless a subclass handles them.
#include "library/runtime/plugin_interfaces.h"

namespace dl::entry {

class TAbstractPlugin : public model::ObjectClass<TAbstractPlugin, model::TAbstractItem, L"TAbstractPlugin">,
                        public virtual IPlugin {
 public:
  TAbstractPlugin() = default;
  explicit TAbstractPlugin(std::wstring_view name) { SetName(name); }

  void Init(model::IItem* owner) override { owner_ = owner; }
  // Drops the owner reference: the owner holds the plug-in, so this breaks the cycle.
  void Done() override { owner_.Reset(); }
  void Bind() override {}
  void Unbind() override {}
  [[nodiscard]] model::RefPtr<model::IItem> GetOwner() const override { return owner_; }
  void OnMessageFromServer(int, const CommandData&) override {}
  void OnWindowMessage(HWND, UINT, WPARAM, LPARAM) override {}

  // Resolve the IItem operations that reach this class along two paths.
  [[nodiscard]] std::wstring GetName() const override { return TAbstractItem::GetName(); }
  void SetName(std::wstring_view name) override { TAbstractItem::SetName(name); }
  void ParseParams(std::wstring_view params) override { TAbstractItem::ParseParams(params); }
  [[nodiscard]] bool IsObjectOfClass(model::TAbstractClass cls) const noexcept override {
    return TAbstractItem::IsObjectOfClass(cls);
  }

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;

 private:
  model::RefPtr<model::IItem> owner_;
};

}  // namespace dl::entry
