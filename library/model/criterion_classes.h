#pragma once
// Window criteria: registered classes that recognise a kind of window and name a
// toolbox class for it. The process-wide list is empty unless an extension adds to it.
#include <string>
#include <string_view>

#include "library/model/collections.h"
#include "library/model/items.h"
#include "library/model/variant.h"
#include "library/model/window_rule_info.h"

namespace dl::model {

// A criterion class states its class-level operations as static members:
//   static bool CriterionIsProperWindow(WindowHandleValue wnd);
//   static std::wstring ToolboxClassName();
class TAbstractCriterion : public ObjectClass<TAbstractCriterion, TAbstractItem, L"TAbstractCriterion"> {
 public:
  static std::wstring ToolboxClassName() { return {}; }
};

// The class reference of a criterion class: its class information and its two
// class-level operations.
struct TCriterionClassInfo {
  const ClassInfo* objectClass;
  bool (*CriterionIsProperWindow)(WindowHandleValue wnd);
  std::wstring (*ToolboxClassName)();
};
using TCriterionClass = const TCriterionClassInfo*;

template <typename T>
TCriterionClass CriterionClassOf() noexcept {
  static_assert(std::is_base_of_v<TAbstractCriterion, T>);
  static constexpr TCriterionClassInfo info{&T::kClass, &T::CriterionIsProperWindow, &T::ToolboxClassName};
  return &info;
}

class TCriterionClasses {
 public:
  // Appends under the name; a duplicate name is not added.
  void AddCriterion(TCriterionClass criterionClass, std::wstring_view name);
  [[nodiscard]] int GetCriterionCount() const noexcept;
  // By position (integer) or name (text); nullptr when absent.
  [[nodiscard]] TCriterionClass GetCriterion(const Variant& index) const;

  // The toolbox class name of the first criterion class, in list order, that
  // recognises the window; empty when none does (or a criterion fails).
  [[nodiscard]] std::wstring ToolboxClassNameFor(WindowHandleValue wnd) const noexcept;

 private:
  RefPtr<TPointerCollection> FItemClasses{new TPointerCollection()};
};

// The one list of the process; never destroyed, as the library's globals must not be.
[[nodiscard]] TCriterionClasses& CriterionClasses() noexcept;

}  // namespace dl::model
