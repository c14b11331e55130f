// The list of window classes that never get an extender: exact, case-sensitive names.
#include <gtest/gtest.h>

#include "library/rules/never_extended_classes.h"

namespace dl::rules {
namespace {

TEST(NeverExtendedClasses, ListHoldsItsEntriesEachBetweenSeparators) {
  const std::wstring_view list = NeverExtendedClassList();
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list.front(), L';');
  EXPECT_EQ(list.back(), L';');
  EXPECT_EQ(std::count(list.begin(), list.end(), L';') - 1, 132);
  EXPECT_EQ(list.find(L";;"), std::wstring_view::npos) << "no empty entry";
}

TEST(NeverExtendedClasses, ExactNamesOnly) {
  struct Case {
    const wchar_t* name;
    bool never;
  };
  const Case cases[] = {
      {L"Button", true},
      {L"ForegroundStaging", true},
      {L"CiceroUIWndFrame", true},
      {L"OleMainThreadWndClass 0x######## ", true},
      {L"OleMainThreadWndClass 0x########", false},  // the trailing blank is part of the name
      {L"GDI+ Hook Window Class", true},
      {L"#43", true},
      {L"tooltips_class32", true},
      {L"dlm_MessengerClientWindow", true},
      {L"Quillon_CB_FloatingWindow", true},
      {L"Quillon_ScreenSaverWindow", true},
      {L"button", false},
      {L"Buttons", false},
      {L"utton", false},
      {L"Notepad", false},
      {L"IME", true},
      {L"IMEX", false},
      {L"", false},
      {L"Button;Progman", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << std::wstring(c.name).size() << '"');
    EXPECT_EQ(IsNeverExtendedClass(c.name), c.never);
  }
}

}  // namespace
}  // namespace dl::rules
