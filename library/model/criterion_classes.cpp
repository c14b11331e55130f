#include "library/model/criterion_classes.h"

namespace dl::model {

void TCriterionClasses::AddCriterion(TCriterionClass criterionClass, std::wstring_view name) {
  if (!criterionClass) return;
  FItemClasses->Add(const_cast<TCriterionClassInfo*>(criterionClass), false, name);
}

int TCriterionClasses::GetCriterionCount() const noexcept { return FItemClasses->GetCount(); }

TCriterionClass TCriterionClasses::GetCriterion(const Variant& index) const {
  return static_cast<TCriterionClass>(FItemClasses->GetItems(index));
}

std::wstring TCriterionClasses::ToolboxClassNameFor(WindowHandleValue wnd) const noexcept {
  try {
    for (int i = 0; i < GetCriterionCount(); ++i) {
      TCriterionClass c = static_cast<TCriterionClass>(FItemClasses->GetItemsI(i));
      if (c && c->CriterionIsProperWindow(wnd)) return c->ToolboxClassName();
    }
  } catch (...) {
  }
  return {};
}

TCriterionClasses& CriterionClasses() noexcept {
  static auto* list = new TCriterionClasses();
  return *list;
}

}  // namespace dl::model
