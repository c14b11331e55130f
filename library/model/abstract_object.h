#pragma once
// TAbstractObject: the base of every object built from a parameter string.
// Construction is two-step, because C++ constructors do not dispatch virtually:
// Create() constructs, runs InitObject, then hands every pair of the parameter
// string to SetParam; a failure in any step destroys the half-built object and
// reaches the caller.
#include <string>
#include <string_view>
#include <type_traits>

#include "library/model/interfaces.h"
#include "library/model/variant.h"

namespace dl::model {

class TAbstractObject;

// What a class reference is: the class's name, its base, and how to make a
// bare instance (nullptr for abstract classes).
struct ClassInfo {
  const wchar_t* name;
  const ClassInfo* parent;
  TAbstractObject* (*construct)();

  [[nodiscard]] bool InheritsFrom(const ClassInfo& other) const noexcept {
    for (const ClassInfo* c = this; c; c = c->parent)
      if (c == &other) return true;
    return false;
  }
};
using TAbstractClass = const ClassInfo*;

class TAbstractObject : public TInterfacedObject {
 public:
  static const ClassInfo kClass;
  static const ClassInfo& StaticClass() noexcept { return kClass; }
  [[nodiscard]] virtual const ClassInfo& GetClass() const noexcept { return kClass; }

  // Builds an object of the given class from its parameter string; empty for a
  // class that cannot be instantiated.
  static RefPtr<TAbstractObject> Create(const ClassInfo& cls, std::wstring_view params);
  template <typename T>
  static RefPtr<T> Create(std::wstring_view params) {
    RefPtr<T> object(new T());
    TAbstractObject* base = object.Get();
    base->InitObject();
    base->ParseParams(params);
    return object;
  }

  // Splits with "\" and "=" and calls SetParam for every pair with a name, in order.
  void ParseParams(std::wstring_view params);

 protected:
  TAbstractObject() = default;
  ~TAbstractObject() override = default;

  // Subclasses create their owned collections here.
  virtual void InitObject() {}
  // One call per pair; subclasses call the inherited SetParam first and match
  // key names exactly.
  virtual void SetParam(const std::wstring& name, const Variant& value) {
    (void)name;
    (void)value;
  }
};

// Gives a class its class reference: derive as
//   class TFoo : public ObjectClass<TFoo, TBase, L"TFoo"> { public: TFoo() = default; ... };
// Instantiable classes need a public default constructor.
template <std::size_t N>
struct ClassName {
  constexpr ClassName(const wchar_t (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) text[i] = s[i];
  }
  wchar_t text[N];
};

template <typename Self, typename Base, ClassName Name>
class ObjectClass : public Base {
 public:
  using Base::Base;
  static const ClassInfo& StaticClass() noexcept { return kClass; }
  [[nodiscard]] const ClassInfo& GetClass() const noexcept override { return kClass; }

 private:
  static TAbstractObject* Construct() {
    if constexpr (std::is_abstract_v<Self> || !std::is_default_constructible_v<Self>)
      return nullptr;
    else
      return new Self();
  }

 public:
  static constexpr ClassInfo kClass{Name.text, &Base::kClass, &Construct};
};

}  // namespace dl::model
