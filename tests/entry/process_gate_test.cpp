// Which processes the library stays out of, or treats with fewer hooks.
#include <gtest/gtest.h>

#include "library/entry/process_gate.h"

namespace dl::entry::test {
namespace {

struct GateCase {
  const char* name;
  OsVersion os;
  const wchar_t* exe;
  const wchar_t* description;
  bool fixVersionDll;
  bool nview64;
  bool inert;
  bool reduced;
  bool shellView;
};

class ProcessGateTable : public ::testing::TestWithParam<GateCase> {};

TEST_P(ProcessGateTable, Flags) {
  const GateCase& c = GetParam();
  GateInputs in;
  in.os = c.os;
  in.exeName = c.exe;
  in.fileDescription = c.description;
  in.fixVersionDllLoaded = c.fixVersionDll;
  in.nview64Loaded = c.nview64;
  const GateFlags flags = ComputeGateFlags(in);
  EXPECT_EQ(flags.inert, c.inert);
  EXPECT_EQ(flags.reducedHook, c.reduced);
  EXPECT_EQ(flags.shellViewCompat, c.shellView);
}

constexpr OsVersion kWin10{10, 0};
constexpr OsVersion kVista{6, 0};
constexpr OsVersion kXp{5, 1};

INSTANTIATE_TEST_SUITE_P(
    Table, ProcessGateTable,
    ::testing::Values(
        GateCase{"Ordinary", kWin10, L"notepad.exe", L"Notepad", false, false, false, false, false},
        GateCase{"DwmOnVista", kVista, L"dwm.exe", L"", false, false, true, true, false},
        GateCase{"DwmBeforeVista", kXp, L"dwm.exe", L"", false, false, false, true, false},
        GateCase{"DwmUpperCase", kWin10, L"DWM.EXE", L"", false, false, true, true, false},
        // The list holds a mixed-case name; it is compared lower-cased.
        GateCase{"ConfigToolMixedCaseList", kWin10, L"deskloomconfig.exe", L"", false, false, false, true, false},
        GateCase{"NameOnlyAsWholeListEntry", kWin10, L"xmmc.exe", L"", false, false, false, false, false},
        GateCase{"FlashPlugin", kWin10, L"flashplayerplugin_32_0.exe", L"", false, false, false, true, false},
        GateCase{"MagixDescription", kWin10, L"video.exe", L"MAGIX Video", false, false, false, true, false},
        GateCase{"MagixWithoutSpace", kWin10, L"video.exe", L"MAGIXVideo", false, false, false, false, false},
        GateCase{"WorkspaceWithFixVersion", kWin10, L"workspace.exe", L"", true, false, false, true, false},
        GateCase{"WorkspaceAlone", kWin10, L"workspace.exe", L"", false, false, false, false, false},
        GateCase{"FixVersionElsewhere", kWin10, L"other.exe", L"", true, false, false, false, false},
        GateCase{"ApfByName", kWin10, L"eterra.apf.exe", L"", false, false, false, false, true},
        GateCase{"Nview64Loaded", kWin10, L"explorer.exe", L"", false, true, false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProcessGate, ThisProcessIsOrdinary) {
  const GateInputs in = ReadGateInputs();
  EXPECT_EQ(in.exeName, L"entry_unit_test.exe");
  EXPECT_GE(in.os.major, 6u);
  const GateFlags flags = ComputeGateFlags(in);
  EXPECT_FALSE(flags.inert);
  EXPECT_FALSE(flags.reducedHook);
}

}  // namespace
}  // namespace dl::entry::test
