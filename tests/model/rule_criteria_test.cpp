#include "library/model/rule_criteria.h"

#include <gtest/gtest.h>

#include <string>

namespace {
using dl::model::ClassCriterionMatches;
using dl::model::WildcardSpecMatches;

TEST(ClassCriterion, ContainmentAndTheAfxRule) {
  struct Case {
    std::string pattern, cls;
    bool matches;
  };
  const Case cases[] = {
      {"Notepad", "Notepad", true},
      {"pad", "Notepad", true},
      {"notepad", "Notepad", false},
      {"", "Notepad", false},
      {"Afx:400000:8:10011:0:99", "Afx:400000:8:10003:0:1234", true},
      {"Afx:400000:3:10003:0:1234", "Afx:400000:8:10003:0:1234", false},
      {"Afx:400001:8", "Afx:400000:8:10003:0:1234", false},
      {"Afx:400000:8", "Afx:400000:8:10003", true},      // three parts are enough
      {"Afx:400000:8", "Afx:400000", false},             // two parts are not (and no containment)
      {"Afx:400000", "Afx:400000:8", true},              // containment still applies
      {"Afx::", "Afx::", true},
      {"afx:400000:8", "Afx:400000:8:1", false},         // the prefix is case-sensitive
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern + " / " + c.cls);
    EXPECT_EQ(ClassCriterionMatches(c.pattern, c.cls), c.matches);
  }
}

TEST(WildcardSpec, ShellStyleFileNamePatterns) {
  struct Case {
    std::string spec, name;
    bool matches;
  };
  const Case cases[] = {
      {"*.EXE", "C:\\APP\\NOTEPAD.EXE", true},
      {"*.exe", "C:\\APP\\NOTEPAD.EXE", true},  // letters without regard to case
      {"*.DLL", "C:\\APP\\NOTEPAD.EXE", false},
      {"C:\\APP\\N?TEPAD.EXE", "C:\\APP\\NOTEPAD.EXE", true},
      {"C:\\APP\\N?PAD.EXE", "C:\\APP\\NOTEPAD.EXE", false},
      {"*.*", "NOEXTENSION", true},
      {"*", "", true},
      {"", "A", false},
      {"*.COM;*.EXE", "X.EXE", true},
      {"*.COM; *.EXE", "X.EXE", true},
      {"*.COM;;", "X.EXE", false},
      {"*A*B*C*", "XXAYYBZZC", true},
      {"*A*B*C*", "XXAYYCZZB", false},
      {std::string(50, '*') + "B", std::string(200, 'A'), false},  // linear, not exponential
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec + " / " + c.name);
    EXPECT_EQ(WildcardSpecMatches(c.spec, c.name), c.matches);
  }
}

}  // namespace
