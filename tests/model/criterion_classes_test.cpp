#include "library/model/criterion_classes.h"

#include "library/model/error.h"

#include <gtest/gtest.h>

namespace {
using namespace dl::model;

class TOddWindowCriterion : public ObjectClass<TOddWindowCriterion, TAbstractCriterion, L"TOddWindowCriterion"> {
 public:
  static bool CriterionIsProperWindow(WindowHandleValue wnd) { return wnd % 2 == 1; }
  static std::wstring ToolboxClassName() { return L"ODDTOOLBOX"; }
};

class TAnyWindowCriterion : public ObjectClass<TAnyWindowCriterion, TAbstractCriterion, L"TAnyWindowCriterion"> {
 public:
  static bool CriterionIsProperWindow(WindowHandleValue) { return true; }
};

class TThrowingCriterion : public ObjectClass<TThrowingCriterion, TAbstractCriterion, L"TThrowingCriterion"> {
 public:
  static bool CriterionIsProperWindow(WindowHandleValue) { throw Error(L"broken"); }
};

TEST(CriterionClasses, ListOrderDecidesAndDuplicatesAreRefused) {
  TCriterionClasses list;
  EXPECT_EQ(list.ToolboxClassNameFor(3), L"");
  list.AddCriterion(CriterionClassOf<TOddWindowCriterion>(), L"Odd");
  list.AddCriterion(CriterionClassOf<TAnyWindowCriterion>(), L"Any");
  list.AddCriterion(CriterionClassOf<TAnyWindowCriterion>(), L"odd");  // names ignore case
  ASSERT_EQ(list.GetCriterionCount(), 2);
  EXPECT_EQ(list.GetCriterion(0), CriterionClassOf<TOddWindowCriterion>());
  EXPECT_EQ(list.GetCriterion(L"ANY"), CriterionClassOf<TAnyWindowCriterion>());
  EXPECT_EQ(list.GetCriterion(0)->objectClass, &TOddWindowCriterion::StaticClass());
  EXPECT_EQ(list.ToolboxClassNameFor(3), L"ODDTOOLBOX");
  EXPECT_EQ(list.ToolboxClassNameFor(4), L"");  // the base answers an empty name
}

TEST(CriterionClasses, FailingCriterionEndsAsNoToolbox) {
  TCriterionClasses list;
  list.AddCriterion(CriterionClassOf<TThrowingCriterion>(), L"Throws");
  list.AddCriterion(CriterionClassOf<TOddWindowCriterion>(), L"Odd");
  EXPECT_EQ(list.ToolboxClassNameFor(3), L"");
}

TEST(CriterionClasses, ProcessListStartsEmpty) { EXPECT_EQ(CriterionClasses().GetCriterionCount(), 0); }

}  // namespace
