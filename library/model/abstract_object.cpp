#include "library/model/abstract_object.h"

#include "library/model/params.h"

namespace dl::model {

constinit const ClassInfo TAbstractObject::kClass{L"TAbstractObject", nullptr, nullptr};

RefPtr<TAbstractObject> TAbstractObject::Create(const ClassInfo& cls, std::wstring_view params) {
  if (!cls.construct) return {};
  RefPtr<TAbstractObject> object(cls.construct());
  if (!object) return {};
  object->InitObject();
  object->ParseParams(params);
  return object;
}

void TAbstractObject::ParseParams(std::wstring_view params) {
  if (params.empty()) return;
  TTwoArrayOfString pairs;
  SplitParams(params, kParamDelimiter, kParamAssignment, pairs);
  for (const auto& pair : pairs)
    if (!pair.name.empty()) SetParam(pair.name, Variant(pair.value));
}

}  // namespace dl::model
