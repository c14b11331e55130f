#include "library/rules/placeholder_window_extender.h"

#include "library/model/class_registry.h"
#include "library/model/hex.h"

namespace dl::rules {

void TPlaceholderWindowExtender::SetParam(const std::wstring& name, const model::Variant& value) {
  TAbstractItem::SetParam(name, value);
  params_.emplace(name, value.AsString());  // the first of a repeated name counts
}

std::wstring TPlaceholderWindowExtender::GetParamDefault(std::wstring_view name, std::wstring_view def) const {
  auto it = params_.find(name);
  return it == params_.end() ? std::wstring(def) : model::HexToString(it->second);
}

void TPlaceholderWindowExtender::SetHandlerProperty(std::wstring_view name, int value) {
  properties_.insert_or_assign(std::wstring(name), value);
}

int TPlaceholderWindowExtender::GetHandlerProperty(std::wstring_view name, int def) const {
  auto it = properties_.find(name);
  return it == properties_.end() ? def : it->second;
}

void TPlaceholderWindowExtender::RemoveHandlerProperty(std::wstring_view name) {
  if (auto it = properties_.find(name); it != properties_.end()) properties_.erase(it);
}

void* TPlaceholderWindowExtender::FindInterface(const model::Guid& iid) noexcept {
  if (iid == rules::IWindowExtender::kIid) return static_cast<rules::IWindowExtender*>(this);
  if (iid == model::ISlave::kIid) return static_cast<model::ISlave*>(this);
  if (iid == entry::IServerMessageRedirector::kIid) return static_cast<entry::IServerMessageRedirector*>(this);
  return TAbstractItem::FindInterface(iid);
}

void RegisterPlaceholderWindowExtender() noexcept {
  try {
    if (!model::FindObjectClass(kWindowExtenderClassName))
      model::RegisterObjectClass<TPlaceholderWindowExtender>(kWindowExtenderClassName);
  } catch (...) {
    // Taken meanwhile: the class that holds the name is the one to use.
  }
}

}  // namespace dl::rules
