#include "library/model/class_registry.h"

#include <memory>

namespace dl::model {
namespace {
// Plain pointer: no dynamic initialisation or destructor in the library image.
TClassesRegistry* g_registry = nullptr;
}  // namespace

TClassesRegistry::TClassesRegistry() {
  SetQuickHash(false);
  SetHashType(TElHashType::ehtCRC32);
  SetNoCase(true);
  SetInsertDupesMode(THashInsertDupesMode::himRaise);
  SetRaiseOnAbsence(false);
  SetAutoClearObjects(false);
  SetOnDelete([](TElHashList&, void* data) { delete static_cast<TClassRecord*>(data); });
}

void TClassesRegistry::Register(TAbstractClass cls, std::wstring_view name) {
  auto record = std::make_unique<TClassRecord>(TClassRecord{std::wstring(name), cls});
  AddItem(name, record.get());
  record.release();  // the list owns it now
}

TAbstractClass TClassesRegistry::Find(std::wstring_view name) const {
  const auto* record = static_cast<const TClassRecord*>(GetItem(name));
  return record ? record->value : nullptr;
}

TClassesRegistry& ClassesRegistry() {
  if (!g_registry) g_registry = new TClassesRegistry();
  return *g_registry;
}

void FreeClassesRegistry() noexcept {
  delete g_registry;
  g_registry = nullptr;
}

void RegisterObjectClass(TAbstractClass cls, std::wstring_view name) {
  ClassesRegistry().Register(cls, name);
}

TAbstractClass FindObjectClass(std::wstring_view name) {
  return g_registry ? g_registry->Find(name) : nullptr;
}

RefPtr<TAbstractObject> CreateObjectByClassName(std::wstring_view params,
                                                std::wstring_view class_name) {
  const TAbstractClass cls = FindObjectClass(class_name);
  if (!cls) return {};
  return TAbstractObject::Create(*cls, params);
}

RefPtr<TAbstractObject> CreateObjectFromSpec(std::wstring_view spec) {
  const std::size_t brace = spec.find(L'{');
  if (brace == std::wstring_view::npos) return CreateObjectByClassName({}, spec);
  // Parameters run from after the brace up to, not including, the last character.
  const std::wstring_view params =
      brace + 1 < spec.size() ? spec.substr(brace + 1, spec.size() - brace - 2) : std::wstring_view{};
  return CreateObjectByClassName(params, spec.substr(0, brace));
}

}  // namespace dl::model
