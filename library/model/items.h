#pragma once
// The basic interfaces of the object model and their base implementations:
// named items (IItem), parts that live under an owner (ISlave) and interface
// collections (ICollection).
#include <string>
#include <string_view>

#include "library/model/abstract_object.h"
#include "library/model/collections.h"
#include "library/model/interfaces.h"
#include "library/model/variant.h"

namespace dl::model {

struct IItem : virtual IInterface {
  static constexpr Guid kIid = MakeGuid("{A97A0D5A-4204-4FED-96F5-0ACEEF4BF213}");
  [[nodiscard]] virtual std::wstring GetName() const = 0;
  virtual void SetName(std::wstring_view name) = 0;
  virtual void ParseParams(std::wstring_view params) = 0;
  [[nodiscard]] virtual bool IsObjectOfClass(TAbstractClass object_class) const noexcept = 0;
};

struct ICollection : virtual IInterface {
  static constexpr Guid kIid = MakeGuid("{9C4146F4-87D9-42D6-B621-BE1218E5F8F7}");
  [[nodiscard]] virtual int GetCount() const noexcept = 0;
  virtual void Delete(const Variant& index) = 0;
  [[nodiscard]] virtual int IndexByKey(std::wstring_view key) const = 0;
  virtual void Clear() = 0;
};

// Init attaches a part to its owner and Bind connects it to its peers once the
// owner's whole set of parts exists; Unbind and Done undo them in reverse.
struct ISlave : virtual IItem {
  static constexpr Guid kIid = MakeGuid("{3A08E545-AF40-43E7-A986-20C651A215C8}");
  virtual void Init(IItem* owner) = 0;
  virtual void Done() = 0;
  virtual void Bind() = 0;
  virtual void Unbind() = 0;
  [[nodiscard]] virtual RefPtr<IItem> GetOwner() const = 0;
};

// A named object; its SetParam takes the key "name".
class TAbstractItem : public ObjectClass<TAbstractItem, TAbstractObject, L"TAbstractItem">,
                      public virtual IItem {
 public:
  TAbstractItem() = default;

  [[nodiscard]] std::wstring GetName() const override { return name_; }
  void SetName(std::wstring_view name) override { name_ = name; }
  void ParseParams(std::wstring_view params) override { TAbstractObject::ParseParams(params); }
  [[nodiscard]] bool IsObjectOfClass(TAbstractClass object_class) const noexcept override {
    return object_class && GetClass().InheritsFrom(*object_class);
  }

 protected:
  void SetParam(const std::wstring& name, const Variant& value) override;
  void* FindInterface(const Guid& iid) noexcept override;

 private:
  std::wstring name_;
};

// Base of the collections of actions, agents, triggers, operations, observers
// and extenders; they add a typed Add and GetItems.
class TAbstractCollection : public TInterfaceCollection, public virtual ICollection {
 public:
  [[nodiscard]] int GetCount() const noexcept override { return TInterfaceCollection::GetCount(); }
  void Delete(const Variant& index) override { TInterfaceCollection::Delete(index); }
  [[nodiscard]] int IndexByKey(std::wstring_view key) const override {
    return TInterfaceCollection::IndexByKey(key);
  }
  void Clear() override { TInterfaceCollection::Clear(); }

 protected:
  void* FindInterface(const Guid& iid) noexcept override;
};

}  // namespace dl::model
