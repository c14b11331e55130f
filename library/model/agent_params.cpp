#include "library/model/agent_params.h"

#include <memory>

namespace dl::model {

TAgentParams::TAgentParams() {
  MutableContent().SetOnDelete(
      [](TElHashList&, void* data) { delete static_cast<TAgentParam*>(data); });
}

bool TAgentParams::Add(std::wstring_view name, const Variant& value) {
  auto param = std::make_unique<TAgentParam>(TAgentParam{std::wstring(name), value});
  if (!AddEntry(param.get(), false, name, -1)) return false;
  static_cast<void>(param.release());
  return true;
}

bool TAgentParams::GetValue(std::wstring_view name, Variant& value) const {
  const auto* param = static_cast<const TAgentParam*>(Content().GetItem(name));
  if (!param) return false;
  value = param->value;
  return true;
}

bool TAgentParams::GetNameAndValue(const Variant& index, std::wstring& name, Variant& value) const {
  const auto* param = static_cast<const TAgentParam*>(DataAt(index));
  if (!param) return false;
  name = param->name;
  value = param->value;
  return true;
}

bool TAgentParams::ChangeValue(std::wstring_view name, const Variant& value) {
  auto* param = static_cast<TAgentParam*>(Content().GetItem(name));
  if (!param) return false;
  param->value = value;
  return true;
}

Variant TAgentParams::GetItems(const Variant& index) const {
  const auto* param = static_cast<const TAgentParam*>(DataAt(index));
  return param ? param->value : Variant();
}

}  // namespace dl::model
