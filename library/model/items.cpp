#include "library/model/items.h"

namespace dl::model {

void TAbstractItem::SetParam(const std::wstring& name, const Variant& value) {
  TAbstractObject::SetParam(name, value);
  if (name == L"name") name_ = value.AsString();
}

void* TAbstractItem::FindInterface(const Guid& iid) noexcept {
  if (iid == IItem::kIid) return static_cast<IItem*>(this);
  return TAbstractObject::FindInterface(iid);
}

void* TAbstractCollection::FindInterface(const Guid& iid) noexcept {
  if (iid == ICollection::kIid) return static_cast<ICollection*>(this);
  return TInterfaceCollection::FindInterface(iid);
}

}  // namespace dl::model
