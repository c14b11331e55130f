#pragma once
// The class registry: registered type names (case-insensitive) → classes, so
// that a class specification 'NAME{parameters}' becomes an object. Written only
// while the library initialises, read from any thread afterwards.
#include <string>
#include <string_view>

#include "library/model/abstract_object.h"
#include "library/model/hash_list.h"

namespace dl::model {

struct TClassRecord {
  std::wstring key;  // the class name as registered
  TAbstractClass value;
};

// A TElHashList of TClassRecord, keyed by class name: CRC-32 of the upper-cased
// ANSI name, duplicates raise, absence answers nothing.
class TClassesRegistry : public TElHashList {
 public:
  TClassesRegistry();
  void Register(TAbstractClass cls, std::wstring_view name);
  [[nodiscard]] TAbstractClass Find(std::wstring_view name) const;
};

// The process-wide registry, created on first use; FreeClassesRegistry frees it
// (with its records) when the library unloads.
TClassesRegistry& ClassesRegistry();
void FreeClassesRegistry() noexcept;

// Raises "InsertItem. Duplicate entry: hash string <name>" for a name taken.
void RegisterObjectClass(TAbstractClass cls, std::wstring_view name);
template <typename T>
void RegisterObjectClass(std::wstring_view name) {
  RegisterObjectClass(&T::StaticClass(), name);
}
[[nodiscard]] TAbstractClass FindObjectClass(std::wstring_view name);
// Empty for an unknown name; errors of the object's construction pass on.
[[nodiscard]] RefPtr<TAbstractObject> CreateObjectByClassName(std::wstring_view params,
                                                              std::wstring_view class_name);
// 'NAME{parameters}' (the last character is taken as the closing brace) or 'NAME'.
[[nodiscard]] RefPtr<TAbstractObject> CreateObjectFromSpec(std::wstring_view spec);

}  // namespace dl::model
