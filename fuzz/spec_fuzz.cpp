// Class specifications from arbitrary text: a known class is built or the
// call answers nothing or raises the model's error; nothing else may happen.
#include <cstddef>
#include <cstdint>
#include <string>

#include "library/model/class_registry.h"
#include "library/model/error.h"
#include "library/model/items.h"

namespace {
using namespace dl::model;

// An item that converts its values, so that conversion errors are exercised.
class TFuzzItem : public ObjectClass<TFuzzItem, TAbstractItem, L"TFuzzItem"> {
 public:
  TFuzzItem() = default;

 protected:
  void SetParam(const std::wstring& name, const Variant& value) override {
    TAbstractItem::SetParam(name, value);
    if (name == L"count") count_ = value.AsInteger();
    if (name == L"Enabled") enabled_ = value.AsBoolean();
  }

 private:
  int count_ = 0;
  bool enabled_ = false;
};

bool RegisterOnce() {
  RegisterObjectClass<TFuzzItem>(L"OPERATION");
  RegisterObjectClass<TAbstractItem>(L"ITEM");
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = RegisterOnce();
  (void)registered;
  std::wstring spec;
  for (std::size_t i = 0; i < size; ++i) spec += static_cast<wchar_t>(data[i]);
  try {
    auto object = CreateObjectFromSpec(spec);
    if (object) (void)object.As<IItem>()->GetName();
  } catch (const Error&) {
    // A conversion error is a defined answer.
  }
  return 0;
}
