#pragma once
// TAgentParams: named values of an agent, kept in the order they were added,
// keyed by name (without regard to case).
#include <string>
#include <string_view>

#include "library/model/collections.h"
#include "library/model/variant.h"

namespace dl::model {

struct TAgentParam {
  std::wstring name;
  Variant value;
};

class TAgentParams : public TBaseCollection {
 public:
  TAgentParams();
  // Appends under the name; false when the name is taken.
  bool Add(std::wstring_view name, const Variant& value);
  bool GetValue(std::wstring_view name, Variant& value) const;
  bool GetNameAndValue(const Variant& index, std::wstring& name, Variant& value) const;
  bool ChangeValue(std::wstring_view name, const Variant& value);
  // The value at a position or under a name; empty when there is none.
  [[nodiscard]] Variant GetItems(const Variant& index) const;
};

}  // namespace dl::model
