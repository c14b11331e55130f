// The host as a real process under Wine, with a stand-in library beside it
// that records the calls the host makes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "protocol/product_names.h"
#include "platform/handles.h"
#include "platform/process_modules.h"
#include "tests/host/host_test_support.h"
#include "tools/devcenter/main_events.h"

namespace dl::host::test {
namespace {
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr DWORD kQuickEndMs = 15000;

class HostRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ExpectNoHostRunning();
    // Hosts here run copies from fresh folders: any other copy still mapped
    // (Wine keeps hook libraries mapped after earlier runs) would be foreign.
    ClearForeignCopies(L"C:\\nowhere\\dlmemb64.dll");
  }

  ConfigFolderOverride config_;
  MainProgramSide main_;

  std::vector<std::string> LogLines() const { return ReadLines(config_.LogPath()); }
  bool LogHas(const std::string& part) const {
    auto lines = LogLines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; });
  }
};

DWORD ProcessOfThread(DWORD threadId) {
  platform::UniqueHandle thread(::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId));
  return thread ? ::GetProcessIdOfThread(thread.get()) : 0;
}

TEST_F(HostRunTest, ReadyMessageCarriesTheHostThreadThenStartupEventThenStopUnloadsAndSignals) {
  HostFolder folder;
  auto host = main_.StartHostFor(folder);
  ASSERT_TRUE(main_.WaitForStartup(host));
  // The ready message is sent before the startup event is set.
  auto threads = main_.ReadyThreads();
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_EQ(ProcessOfThread(threads[0]), host.Id());
  EXPECT_THAT(folder.Calls(), ElementsAre("attach", "InstallMainHooks"));

  ASSERT_TRUE(main_.Stop(host));
  EXPECT_EQ(host.ExitCode(), 0u);
  EXPECT_THAT(folder.Calls(), ElementsAre("attach", "InstallMainHooks", "UninstallMainHooks", "detach"));
  // The host consumed our signal and set the shutdown event again on its way out.
  EXPECT_TRUE(devcenter::TakeSignal(main_.events.Shutdown()));
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.NeedRelogin()));
}

TEST_F(HostRunTest, LogLinesHaveTheExactFormat) {
  HostFolder folder;
  auto host = main_.StartHostFor(folder);
  ASSERT_TRUE(main_.WaitForStartup(host));
  ASSERT_TRUE(main_.Stop(host));
  const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3};dlm;8\.15\.3;ControlCenter64;TCCApp;)";
  std::string lib;
  for (wchar_t c : folder.LibraryPath()) lib += static_cast<char>(c);
  auto lines = LogLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + "Succeeded;OpenProcess;" +
                                                    std::to_string(::GetCurrentProcessId()))))
      << lines[0];
  EXPECT_EQ(lines[1].substr(24), "dlm;8.15.3;ControlCenter64;TCCApp;Succeeded;LoadLibrary;\"" + lib + "\"");
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(stamp + "Succeeded;CallEAProc;InstallMainHooks"))) << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(stamp + "Succeeded;CallEAProc;UninstallMainHooks"))) << lines[3];
  // Lines end with CR LF.
  EXPECT_THAT(ReadFileBytes(config_.LogPath()), ::testing::EndsWith("UninstallMainHooks\r\n"));
}

TEST_F(HostRunTest, LoggerSwitchedOffWritesNothing) {
  RegistryValueOverride enabled(HKEY_CURRENT_USER, protocol::kEventLoggerKey, L"Enabled");
  enabled.SetDword(0);
  HostFolder folder;
  auto host = main_.StartHostFor(folder);
  ASSERT_TRUE(main_.WaitForStartup(host));
  ASSERT_TRUE(main_.Stop(host));
  EXPECT_FALSE(FileExists(config_.LogPath()));
  EXPECT_THAT(folder.Calls(), ElementsAre("attach", "InstallMainHooks", "UninstallMainHooks", "detach"));
}

TEST_F(HostRunTest, MainProgramExitingEndsTheRunWithoutTheShutdownEvent) {
  HostFolder folder;
  // A process of its own plays the main program whose end the host watches.
  auto mainProcess = devcenter::ChildProcess::Start(
      devcenter::QuoteArgument(BinFolder() + L"dl_test_library_holder.exe") + L" " +
      devcenter::QuoteArgument(BinFolder() + L"dl_test_fakelib_basic.dll"));
  const auto windowNumber = static_cast<int>(reinterpret_cast<INT_PTR>(main_.window.Handle()));
  auto host = main_.StartHost(folder.HostExe(),
                              {std::to_wstring(mainProcess.Id()), std::to_wstring(windowNumber), L"1"},
                              folder.Environment());
  ASSERT_TRUE(main_.WaitForStartup(host));
  mainProcess.Terminate();
  ASSERT_TRUE(main_.WaitForEnd(host));
  EXPECT_EQ(host.ExitCode(), 0u);
  EXPECT_THAT(folder.Calls(), ElementsAre("attach", "InstallMainHooks", "UninstallMainHooks", "detach"));
  EXPECT_TRUE(devcenter::TakeSignal(main_.events.Shutdown()));
}

TEST_F(HostRunTest, SecondInstanceEndsAtOnceAndLeavesTheFirstRunning) {
  HostFolder first, second;
  auto host = main_.StartHostFor(first);
  ASSERT_TRUE(main_.WaitForStartup(host));
  main_.window.ClearCalls();

  auto other = devcenter::ChildProcess::Start(
      devcenter::HostCommandLine(second.HostExe(), ::GetCurrentProcessId(), main_.window.Handle(), L"1"),
      second.Environment());
  ASSERT_TRUE(main_.WaitForEnd(other, kQuickEndMs));
  EXPECT_EQ(other.ExitCode(), 0u);
  EXPECT_THAT(second.Calls(), IsEmpty());
  EXPECT_TRUE(main_.window.Calls().empty());
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.Shutdown()));
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.Startup()));
  EXPECT_TRUE(host.Running());

  ASSERT_TRUE(main_.Stop(host));
}

// Commands 74 and 75 posted to the host's thread, against the library's answers.
// Each list ends with a 74 the library records: once that call shows, every
// command before it has been taken off the host's queue.
struct MouseCase {
  const char* name;
  const wchar_t* failing;  // export that answers false, or empty
  std::vector<WPARAM> posted;
  std::vector<std::string> calls;  // recorded between installing and uninstalling the main hooks
};

class HostMouseCommandTest : public HostRunTest, public ::testing::WithParamInterface<MouseCase> {};

TEST_P(HostMouseCommandTest, FlagFollowsTheLibraryAnswers) {
  const MouseCase& c = GetParam();
  HostFolder folder(FakeLibrary::kFull);
  devcenter::EnvironmentOverrides env;
  if (*c.failing) env[L"DL_FAKELIB_FAIL"] = c.failing;
  auto host = main_.StartHostFor(folder, L"1", env);
  ASSERT_TRUE(main_.WaitForStartup(host));
  const DWORD thread = main_.ReadyThreads().at(0);
  for (WPARAM code : c.posted) ASSERT_TRUE(::PostThreadMessageW(thread, main_.window.ServiceMessage(), code, 0));
  const auto installs = std::count(c.calls.begin(), c.calls.end(), "InstallMouseHook");
  ASSERT_TRUE(WaitUntil([&] {
    auto calls = folder.Calls();
    return std::count(calls.begin(), calls.end(), "InstallMouseHook") == installs;
  }));
  ASSERT_TRUE(main_.Stop(host));

  std::vector<std::string> expected = {"attach", "InstallMainHooks"};
  expected.insert(expected.end(), c.calls.begin(), c.calls.end());
  expected.insert(expected.end(), {"UninstallMainHooks", "detach"});
  EXPECT_EQ(folder.Calls(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HostMouseCommandTest,
    ::testing::Values(
        // A second 74 while set and a 75 while clear are not commands.
        MouseCase{"InstallOnceUninstallOnce", L"", {74, 74, 75, 75, 74},
                  {"InstallMouseHook", "UninstallMouseHook", "InstallMouseHook", "UninstallMouseHook"}},
        MouseCase{"UninstallWhileClearIsIgnored", L"", {75, 74}, {"InstallMouseHook", "UninstallMouseHook"}},
        // The set flag is cleared at shutdown, before the main hooks go.
        MouseCase{"SetFlagIsUninstalledAtShutdown", L"", {74}, {"InstallMouseHook", "UninstallMouseHook"}},
        MouseCase{"FailedInstallLeavesFlagClear", L"InstallMouseHook", {74, 75, 74},
                  {"InstallMouseHook", "InstallMouseHook"}},
        MouseCase{"FailedUninstallKeepsFlagSet", L"UninstallMouseHook", {74, 75, 74, 75},
                  {"InstallMouseHook", "UninstallMouseHook", "UninstallMouseHook", "UninstallMouseHook"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostRunTest, MissingMouseExportsWriteNoLogLine) {
  HostFolder folder(FakeLibrary::kBasic);
  auto host = main_.StartHostFor(folder);
  ASSERT_TRUE(main_.WaitForStartup(host));
  ASSERT_TRUE(::PostThreadMessageW(main_.ReadyThreads().at(0), main_.window.ServiceMessage(), 74, 0));
  // Let the host take the command off its queue before the shutdown event wins the wait.
  ::WaitForInputIdle(host.Handle(), 5000);
  ASSERT_TRUE(main_.Stop(host));
  EXPECT_FALSE(LogHas("MouseHook"));
  EXPECT_TRUE(LogHas("Succeeded;CallEAProc;UninstallMainHooks"));
}

// Libraries the host cannot use: it says nothing, unloads what it loaded, and signals shutdown.
struct LoadFailureCase {
  const char* name;
  FakeLibrary library;
  const wchar_t* failing;
  std::vector<std::string> calls;
  const char* logPart;
};

class HostLoadFailureTest : public HostRunTest, public ::testing::WithParamInterface<LoadFailureCase> {};

TEST_P(HostLoadFailureTest, NoReadyMessageNoStartupEventShutdownEventSet) {
  const LoadFailureCase& c = GetParam();
  HostFolder folder(c.library);
  devcenter::EnvironmentOverrides env;
  if (*c.failing) env[L"DL_FAKELIB_FAIL"] = c.failing;
  auto host = main_.StartHostFor(folder, L"1", env);
  ASSERT_TRUE(main_.WaitForEnd(host, kQuickEndMs));
  EXPECT_EQ(host.ExitCode(), 0u);
  EXPECT_TRUE(main_.window.Calls().empty());
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.Startup()));
  EXPECT_TRUE(devcenter::TakeSignal(main_.events.Shutdown()));
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.NeedRelogin()));
  EXPECT_EQ(folder.Calls(), c.calls);
  EXPECT_TRUE(LogHas(c.logPart)) << c.logPart;
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, HostLoadFailureTest,
    ::testing::Values(
        LoadFailureCase{"Missing", FakeLibrary::kNone, L"", {}, ";Failed;LoadLibrary;\""},
        LoadFailureCase{"NotADll", FakeLibrary::kNotADll, L"", {}, ";Failed;LoadLibrary;\""},
        LoadFailureCase{"InstallMainHooksFails", FakeLibrary::kFull, L"InstallMainHooks",
                        {"attach", "InstallMainHooks", "UninstallMainHooks", "detach"},
                        ";Failed;CallEAProc;InstallMainHooks;$00000005-"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostRunTest, FailedLoadLineCarriesErrorCodeAndText) {
  HostFolder folder(FakeLibrary::kNone);
  auto host = main_.StartHostFor(folder);
  ASSERT_TRUE(main_.WaitForEnd(host, kQuickEndMs));
  auto lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  // ...;Failed;LoadLibrary;"<path>";$XXXXXXXX-<text>
  EXPECT_TRUE(std::regex_search(lines[1], std::regex(R"(;Failed;LoadLibrary;"[^"]+dlmemb64\.dll";\$[0-9A-F]{8}-.+$)")))
      << lines[1];
  EXPECT_THAT(lines[1], ::testing::Not(HasSubstr(";$00000000-")));
}

// Arguments the host refuses before anything is loaded: it ends at once and
// signals nothing.
struct BadArgsCase {
  const char* name;
  std::vector<std::wstring> args;  // "{pid}" and "{wnd}" are replaced
  const char* log;                 // what the log holds; nullptr: no log at all
};

class HostBadArgumentsTest : public HostRunTest, public ::testing::WithParamInterface<BadArgsCase> {};

TEST_P(HostBadArgumentsTest, EndsAtOnceWithNothingSignalled) {
  const BadArgsCase& c = GetParam();
  HostFolder folder;
  const auto windowNumber = static_cast<int>(reinterpret_cast<INT_PTR>(main_.window.Handle()));
  std::vector<std::wstring> args;
  for (auto a : c.args) {
    if (a == L"{pid}") a = std::to_wstring(::GetCurrentProcessId());
    if (a == L"{wnd}") a = std::to_wstring(windowNumber);
    args.push_back(a);
  }
  auto host = main_.StartHost(folder.HostExe(), args, folder.Environment());
  ASSERT_TRUE(main_.WaitForEnd(host, kQuickEndMs));
  EXPECT_EQ(host.ExitCode(), 0u);
  EXPECT_THAT(folder.Calls(), IsEmpty());
  EXPECT_TRUE(main_.window.Calls().empty());
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.Startup()));
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.Shutdown()));
  if (c.log) {
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_THAT(LogLines()[0], HasSubstr(c.log));
  } else {
    EXPECT_FALSE(FileExists(config_.LogPath()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, HostBadArgumentsTest,
    ::testing::Values(BadArgsCase{"OneArgument", {L"{pid}"}, nullptr},
                      BadArgsCase{"TwoArguments", {L"{pid}", L"{wnd}"}, nullptr},
                      BadArgsCase{"FourArguments", {L"{pid}", L"{wnd}", L"1", L"1"}, nullptr},
                      BadArgsCase{"ZeroProcessId", {L"0", L"{wnd}", L"1"}, nullptr},
                      BadArgsCase{"NonNumericProcessId", {L"main", L"{wnd}", L"1"}, nullptr},
                      BadArgsCase{"NoSuchProcess", {L"4000000000", L"{wnd}", L"1"},
                                  ";Failed;OpenProcess;4000000000;$"},
                      BadArgsCase{"ZeroWindow", {L"{pid}", L"0", L"1"}, ";Succeeded;OpenProcess;"},
                      BadArgsCase{"NonNumericWindow", {L"{pid}", L"0x10", L"1"}, ";Succeeded;OpenProcess;"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostRunTest, DeadMainWindowStillSetsTheStartupEvent) {
  HostFolder folder;
  HWND dead = ::CreateWindowExW(0, L"STATIC", L"gone", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(dead, nullptr);
  ::DestroyWindow(dead);
  auto host = main_.StartHost(folder.HostExe(),
                              {std::to_wstring(::GetCurrentProcessId()),
                               std::to_wstring(static_cast<int>(reinterpret_cast<INT_PTR>(dead))), L"1"},
                              folder.Environment());
  ASSERT_TRUE(main_.WaitForStartup(host));
  EXPECT_TRUE(main_.window.Calls().empty());
  ASSERT_TRUE(main_.Stop(host));
  EXPECT_EQ(host.ExitCode(), 0u);
}

TEST_F(HostRunTest, UnansweredReadyMessageTimesOutAfterFiveSeconds) {
  HostFolder folder;
  auto host = main_.StartHostFor(folder);
  // Wait without pumping: our window does not answer the ready message.
  const ULONGLONG start = ::GetTickCount64();
  ASSERT_TRUE(WaitUntil([&] { return folder.Calls().size() >= 2; }));
  const HANDLE waits[2] = {main_.events.Startup(), host.Handle()};
  ASSERT_EQ(::WaitForMultipleObjects(2, waits, FALSE, 20000), WAIT_OBJECT_0);
  const ULONGLONG waited = ::GetTickCount64() - start;
  EXPECT_GE(waited, 4500u);
  EXPECT_LT(waited, 15000u);
  ASSERT_TRUE(main_.Stop(host));
  EXPECT_EQ(host.ExitCode(), 0u);
}

TEST_F(HostRunTest, NoArgumentsStartsTheMainProgramHiddenFromTheHostFolder) {
  HostFolder folder;
  ASSERT_TRUE(CopyInto(BinFolder() + L"dl_test_main_program.exe", folder.Folder() + L"DeskloomCenter.exe"));
  platform::UniqueHandle quit(::CreateEventW(nullptr, TRUE, FALSE, L"Local\\dl_test_main_program_quit"));
  ::ResetEvent(quit.get());
  const std::wstring record = folder.Folder() + L"DeskloomCenter.ran";
  auto recordLines = [&] {
    std::string bytes = ReadFileBytes(record);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    std::vector<std::wstring> lines;
    for (std::size_t s = 0, e; (e = text.find(L'\n', s)) != std::wstring::npos; s = e + 1)
      lines.push_back(text.substr(s, e - s));
    return lines;
  };
  // Twice: the second start happens although the first main program still runs.
  for (int run = 1; run <= 2; ++run) {
    auto host = main_.StartHost(folder.HostExe(), {}, folder.Environment());
    ASSERT_TRUE(main_.WaitForEnd(host, kQuickEndMs));
    EXPECT_EQ(host.ExitCode(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return recordLines().size() == static_cast<std::size_t>(run); }));
  }
  ::SetEvent(quit.get());
  std::wstring folderNoSlash = folder.Folder();
  folderNoSlash.pop_back();
  for (const auto& line : recordLines()) {
    auto bar = line.find(L'|');
    ASSERT_NE(bar, std::wstring::npos);
    EXPECT_TRUE(platform::EqualNoCase(line.substr(0, bar), folderNoSlash) ||
                platform::EqualNoCase(line.substr(0, bar), folder.Folder()));
    EXPECT_EQ(line.substr(bar + 1), std::to_wstring(SW_HIDE));
  }
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.Shutdown()));
}

}  // namespace
}  // namespace dl::host::test
