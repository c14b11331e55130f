// Platform version flags, process flags by name and path, executable-identity helpers.
#include <gtest/gtest.h>

#include "library/extender/process_flags_rules.h"

namespace {
using namespace dl::extender;

TEST(OsVersionFlags, ThresholdsIncludingTheEarlyTenNumbering) {
  struct Case {
    std::uint32_t major, minor;
    bool vista, seven, eight, eightOne, ten;
  };
  for (const Case& c : {Case{5, 1, false, false, false, false, false}, Case{6, 0, true, false, false, false, false},
                        Case{6, 1, true, true, false, false, false}, Case{6, 2, true, true, true, false, false},
                        Case{6, 3, true, true, true, true, false}, Case{6, 4, true, true, true, true, true},
                        Case{10, 0, true, true, true, true, true}}) {
    SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
    const OsVersionFlags f = OsFlagsFromVersion(c.major, c.minor, 19045);
    EXPECT_EQ(f.vistaOrLater, c.vista);
    EXPECT_EQ(f.win7OrLater, c.seven);
    EXPECT_EQ(f.win8OrLater, c.eight);
    EXPECT_EQ(f.win81OrLater, c.eightOne);
    EXPECT_EQ(f.win10OrLater, c.ten);
    EXPECT_EQ(f.build, 19045u);
  }
}

TEST(ProcessFlags, ByNamePathAndVersion) {
  const OsVersionFlags ten = OsFlagsFromVersion(10, 0, 19045);
  const OsVersionFlags xp = OsFlagsFromVersion(5, 1, 2600);
  struct Case {
    const char* what;
    const OsVersionFlags* os;
    const wchar_t* name;
    const wchar_t* path;
    bool ProcessFlags::*flag;
    bool expected;
  };
  const Case cases[] = {
      {"console host", &ten, L"conhost.exe", L"c:\\windows\\system32\\conhost.exe", &ProcessFlags::consoleHost, true},
      {"console host before 7", &xp, L"conhost.exe", L"c:\\conhost.exe", &ProcessFlags::consoleHost, false},
      {"dwm", &ten, L"dwm.exe", L"c:\\dwm.exe", &ProcessFlags::desktopWindowManager, true},
      {"dwm before vista", &xp, L"dwm.exe", L"c:\\dwm.exe", &ProcessFlags::desktopWindowManager, false},
      {"shell", &xp, L"explorer.exe", L"c:\\windows\\explorer.exe", &ProcessFlags::shell, true},
      {"shell needs exact name", &ten, L"explorer.exe.exe", L"c:\\explorer.exe.exe", &ProcessFlags::shell, false},
      {"frame host", &ten, L"applicationframehost.exe", L"c:\\a\\applicationframehost.exe", &ProcessFlags::frameHost, true},
      {"frame host before 10", &xp, L"applicationframehost.exe", L"c:\\applicationframehost.exe",
       &ProcessFlags::frameHost, false},
      {"foxit", &ten, L"foxit reader.exe", L"c:\\foxit\\foxit reader.exe", &ProcessFlags::foxitReader, true},
      {"kingsoft", &ten, L"wps.exe", L"c:\\program files\\kingsoft\\office\\wps.exe", &ProcessFlags::kingsoftOffice, true},
      {"kingsoft elsewhere", &ten, L"wps.exe", L"c:\\program files\\wps.exe", &ProcessFlags::kingsoftOffice, false},
      {"kingsoft other exe", &ten, L"word.exe", L"c:\\kingsoft\\word.exe", &ProcessFlags::kingsoftOffice, false},
      {"poker", &ten, L"poker.exe", L"d:\\games\\svenska spels poker\\poker.exe", &ProcessFlags::pokerClient, true},
      {"poker elsewhere", &ten, L"poker.exe", L"d:\\games\\poker.exe", &ProcessFlags::pokerClient, false},
      {"maxqda", &ten, L"maxqda2022.exe", L"c:\\program files\\maxqda2022\\maxqda2022.exe", &ProcessFlags::maxqda, true},
      {"opus runtime", &ten, L"dopusrt.exe", L"c:\\gpsoftware\\dopusrt.exe", &ProcessFlags::directoryOpusRuntime, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ProcessFlags f = ComputeProcessFlags(*c.os, c.name, c.path, false);
    EXPECT_EQ(f.*(c.flag), c.expected);
    // Exactly one flag at most: clearing the tested one leaves nothing set.
    ProcessFlags rest = f;
    rest.*(c.flag) = false;
    EXPECT_EQ(rest, ProcessFlags{});
  }
  EXPECT_TRUE(ComputeProcessFlags(ten, L"winword.exe", L"c:\\office\\winword.exe", true).office);
  EXPECT_FALSE(ComputeProcessFlags(ten, L"winword.exe", L"c:\\office\\winword.exe", false).office);
}

TEST(ExecutableIdentity, FirstCommandLineParameter) {
  struct Case {
    const wchar_t* line;
    const wchar_t* first;
  };
  for (const Case& c : {Case{L"\"C:\\Program Files\\App\\app.exe\" -x \"y z\"", L"C:\\Program Files\\App\\app.exe"},
                        Case{L"  c:\\windows\\notepad.exe file.txt", L"c:\\windows\\notepad.exe"},
                        Case{L"\t\"c:\\a b\\c.exe\"", L"c:\\a b\\c.exe"}, Case{L"\" c:\\x.exe \"", L"c:\\x.exe"},
                        Case{L"\"c:\\unterminated quote\\x.exe", L"c:\\unterminated quote\\x.exe"}, Case{L"", L""},
                        Case{L"   ", L""}}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)));
    EXPECT_EQ(FirstCommandLineParameter(c.line), c.first);
  }
}

TEST(ExecutableIdentity, LongPathRuleAndFileName) {
  EXPECT_TRUE(WantsLongPathName(L"C:\\PROGRA~1\\APP\\APP.EXE"));
  EXPECT_TRUE(WantsLongPathName(L"\\\\?\\C:\\x\\y.exe"));
  EXPECT_FALSE(WantsLongPathName(L"app.exe"));
  EXPECT_FALSE(WantsLongPathName(L":\\x.exe"));          // only after the first character
  EXPECT_FALSE(WantsLongPathName(L"\\\\server\\share\\x.exe"));
  EXPECT_EQ(FileNameOf(L"C:\\dir\\App.exe"), L"App.exe");
  EXPECT_EQ(FileNameOf(L"App.exe"), L"App.exe");
  EXPECT_EQ(FileNameOf(L"C:\\dir\\"), L"");
  EXPECT_EQ(TrimSpacesAndTabs(L" \t Probe \t"), L"Probe");
  EXPECT_EQ(TrimSpacesAndTabs(L" \t "), L"");
}

}  // namespace
