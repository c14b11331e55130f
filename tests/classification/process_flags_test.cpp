// The process flags and executable identity computed inside real processes: a small
// probe program copied under listed names and started as its own process.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "library/extender/process_flags.h"
#include "library/extender/window_identity.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "tests/support/bin_dir.h"

namespace {
namespace fs = std::filesystem;
using namespace dl::extender;
using dl::platform::UniqueHandle;

// A fresh folder under %TEMP%, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    path_ = fs::path(temp) / (L"dl-classification-" + std::to_wstring(::GetCurrentProcessId()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  [[nodiscard]] const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct ProbeRun {
  DWORD exitCode = ~0u;
  std::map<std::string, std::string> values;
};

// Runs the program at `exe`, reading its "key=value" lines until it exits (20 s at most).
ProbeRun RunProbe(const fs::path& exe) {
  ProbeRun run;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readRaw = nullptr, writeRaw = nullptr;
  if (!::CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return run;
  UniqueHandle readEnd(readRaw), writeEnd(writeRaw);
  ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd.get();
  si.hStdError = writeEnd.get();
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
  if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        exe.parent_path().c_str(), &si, &pi))
    return run;
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  writeEnd.reset();  // the pipe ends when the probe exits

  std::string output;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(readEnd.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) output.append(buffer, got);
  if (::WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0) ::TerminateProcess(process.get(), 99);
  ::GetExitCodeProcess(process.get(), &run.exitCode);

  for (const std::string& line : dl::platform::SplitLines(output))
    if (auto eq = line.find('='); eq != std::string::npos) run.values[line.substr(0, eq)] = line.substr(eq + 1);
  return run;
}

// Flag positions in the probe's "flags" line.
enum Flag {
  kConsoleHost, kVisualStudio, kShell, kDwm, kMediaCenter, kFoxit, kMindManager, kOutlook, kOffice, kFrameHost,
  kShellExperienceHost, kSlack, kPluginContainer, kKingsoft, kPoker, kMaxqda, kOpusRuntime, kFlagCount, kNone = -1
};

std::string OnlyFlag(int flag) {
  std::string bits(kFlagCount, '0');
  if (flag >= 0) bits[static_cast<std::size_t>(flag)] = '1';
  return bits;
}

class ProcessFlagsInRealProcesses : public testing::Test {
 protected:
  const fs::path probe_ = fs::path(dl::test::BinDir()) / L"classification_probe.exe";
  TempFolder temp_;

  ProbeRun RunAs(const fs::path& relative) {
    const fs::path target = temp_.path() / relative;
    fs::create_directories(target.parent_path());
    fs::copy_file(probe_, target, fs::copy_options::overwrite_existing);
    return RunProbe(target);
  }
};

TEST_F(ProcessFlagsInRealProcesses, ListedNamesAndPathsSetTheirFlag) {
  ASSERT_TRUE(fs::exists(probe_)) << probe_;
  const bool win10 = OsFlags().win10OrLater;
  struct Case {
    const wchar_t* relative;
    int flag;
  };
  const Case cases[] = {
      {L"explorer.exe", kShell},
      {L"Slack.exe", kSlack},  // names compare in lower case
      {L"DEVENV.EXE", kVisualStudio},
      {L"conhost.exe", kConsoleHost},
      {L"dwm.exe", kDwm},
      {L"foxit reader.exe", kFoxit},
      {L"applicationframehost.exe", win10 ? kFrameHost : kNone},
      {L"Kingsoft\\Office\\wps.exe", kKingsoft},
      {L"Svenska Spels Poker\\poker.exe", kPoker},
      {L"MAXQDA2022\\maxqda.exe", kMaxqda},
      {L"dopusrt.exe", kOpusRuntime},
      {L"explorer2.exe", kNone},
      {L"other\\wps.exe", kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.relative)));
    const ProbeRun run = RunAs(c.relative);
    ASSERT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.values.at("flags"), OnlyFlag(c.flag));
    EXPECT_EQ(run.values.at("name"), dl::platform::WideToUtf8(fs::path(c.relative).filename().wstring()));
  }
}

TEST_F(ProcessFlagsInRealProcesses, ExecutableIdentityAndVersionInformation) {
  const ProbeRun run = RunAs(L"Probe Folder\\Probe.exe");
  ASSERT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.values.at("name"), "Probe.exe");
  EXPECT_EQ(run.values.at("lowername"), "probe.exe");
  const std::wstring reported = dl::platform::Utf8ToWide(run.values.at("path"));
  EXPECT_TRUE(fs::equivalent(fs::path(reported), temp_.path() / L"Probe Folder\\Probe.exe")) << run.values.at("path");
  EXPECT_EQ(run.values.at("version"), "4.3.2.1");
  EXPECT_EQ(run.values.at("description"), "Classification probe");  // trimmed of spaces and tabs
}

// The process gate and the process flags read one identity and lower names by one rule, also
// outside ASCII (towlower and CharLowerBuffW used to disagree there).
TEST_F(ProcessFlagsInRealProcesses, GateAndFlagsSeeOneLowerCaseNameAlsoOutsideAscii) {
  struct Case {
    const wchar_t* relative;
    const char* lowerName;  // UTF-8
  };
  const Case cases[] = {
      {L"\u00c4RGER\u00dcBER.EXE", "\xc3\xa4rger\xc3\xbc" "ber.exe"},                  // ÄRGERÜBER.EXE
      {L"\u0421\u041b\u0410\u0412\u0410.exe", "\xd1\x81\xd0\xbb\xd0\xb0\xd0\xb2\xd0\xb0.exe"},  // СЛАВА.exe
      {L"Dwm.Exe", "dwm.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(dl::platform::WideToUtf8(c.relative));
    const ProbeRun run = RunAs(c.relative);
    ASSERT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.values.at("lowername"), c.lowerName);
    EXPECT_EQ(run.values.at("gatename"), c.lowerName);
    EXPECT_EQ(run.values.at("name"), dl::platform::WideToUtf8(c.relative));
  }
}

TEST_F(ProcessFlagsInRealProcesses, ShortPathStartIsReportedInLongForm) {
  const fs::path target = temp_.path() / L"A Rather Long Folder Name" / L"LongProbeName.exe";
  fs::create_directories(target.parent_path());
  fs::copy_file(probe_, target);
  wchar_t shortPath[MAX_PATH] = {};
  const DWORD n = ::GetShortPathNameW(target.c_str(), shortPath, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || target.wstring() == shortPath) GTEST_SKIP() << "no distinct short path here";
  const ProbeRun run = RunProbe(fs::path(shortPath));
  ASSERT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.values.at("name"), "LongProbeName.exe");
  EXPECT_NE(run.values.at("path").find("A Rather Long Folder Name"), std::string::npos) << run.values.at("path");
}

TEST(ProcessImagePath, ForeignProcessByIdAndByName) {
  // A process of a known name that stays put: the probe, started suspended.
  const fs::path exe = fs::path(dl::test::BinDir()) / L"classification_probe.exe";
  ASSERT_TRUE(fs::exists(exe));
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
  ASSERT_TRUE(::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                               nullptr, &si, &pi));
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  const std::wstring path = ImagePathOfProcess(pi.dwProcessId, true);
  EXPECT_TRUE(!path.empty() && fs::equivalent(fs::path(path), exe)) << dl::platform::WideToUtf8(path);
  EXPECT_EQ(FindProcessByExecutableName(L"CLASSIFICATION_PROBE.EXE"), pi.dwProcessId);
  EXPECT_EQ(FindProcessByExecutableName(L"classification_probe.exe", ::GetCurrentProcessId()), pi.dwProcessId);
  EXPECT_EQ(FindProcessByExecutableName(L"classification_probe.exe", pi.dwProcessId), 0u);
  ::TerminateProcess(process.get(), 0);
  ::WaitForSingleObject(process.get(), 10000);
  EXPECT_EQ(ImagePathOfProcess(0x7ffffff0, true), L"");
}

}  // namespace
