#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "host/event_log.h"
#include "protocol/object_names.h"
#include "protocol/product_names.h"
#include "platform/text.h"
#include "platform/handles.h"
#include "tests/host/host_test_support.h"

namespace dl::host {
namespace {
using test::ReadLines;
using ::testing::HasSubstr;

TEST(EventLogFormat, LineHasStampProductVersionAndMessage) {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 1;
  t.wDay = 31;
  t.wHour = 9;
  t.wMinute = 15;
  t.wSecond = 2;
  t.wMilliseconds = 113;
  EXPECT_EQ(FormatLogLine(t, FormatLogMessage(L"CallEAProc", L"InstallMainHooks", true, 0)),
            "2026-01-31 09:15:02.113;dlm;8.15.3;ControlCenter64;TCCApp;Succeeded;CallEAProc;InstallMainHooks\r\n");
}

TEST(EventLogFormat, FailureAddsCodeAndSystemTextOnOneLine) {
  std::wstring message = FormatLogMessage(L"FreeLibrary", L"$00007FF800000000", false, ERROR_FILE_NOT_FOUND);
  std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(message, L"ControlCenter64;TCCApp;Failed;FreeLibrary;$00007FF800000000;$00000002-" + text);
  EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos);
  EXPECT_THAT(FormatLogMessage(L"X", L"", false, 0xC000007B), ::testing::EndsWith(L";$C000007B-" +
                                                                                   SystemErrorText(0xC000007B)));
}

TEST(EventLogFormat, TextIsWrittenInTheAnsiCodePage) {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 2;
  t.wDay = 3;
  std::string line = FormatLogLine(t, L"caf\u00e9");
  std::string expected = platform::WideToAnsi(L"caf\u00e9");
  EXPECT_EQ(line.substr(35), expected + "\r\n");
}

class EventLogWriteTest : public ::testing::Test {
 protected:
  test::TempFolder folder_{L"log"};
  test::RegistryValueOverride enabled_{HKEY_CURRENT_USER, protocol::kEventLoggerKey, L"Enabled"};
  std::wstring LogPath() const { return folder_.Path() + L"CenterEvents.log"; }
};

TEST_F(EventLogWriteTest, AppendsOneLinePerCallAndTakesTheLastErrorOfEntry) {
  enabled_.Remove();
  EventLog log(folder_.Path());
  EXPECT_EQ(log.Path(), LogPath());
  log.Write(L"OpenProcess", L"42", true);
  ::SetLastError(ERROR_ACCESS_DENIED);
  log.Write(L"OpenProcess", L"43", false);
  auto lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3};dlm;8\.15\.3;ControlCenter64;TCCApp;Succeeded;OpenProcess;42)")))
      << lines[0];
  EXPECT_THAT(lines[1], HasSubstr(";Failed;OpenProcess;43;$00000005-"));
}

struct SwitchCase {
  const char* name;
  int kind;  // 0 missing, 1 DWORD, 2 string
  DWORD number;
  const wchar_t* text;
  bool writes;
};

class EventLogSwitchTest : public EventLogWriteTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(EventLogSwitchTest, SwitchIsReadBeforeEveryLine) {
  const SwitchCase& c = GetParam();
  EventLog log(folder_.Path());
  if (c.kind == 0) enabled_.Remove();
  if (c.kind == 1) enabled_.SetDword(c.number);
  if (c.kind == 2) enabled_.SetString(c.text);
  log.Write(L"CallEAProc", L"InstallMainHooks", true);
  EXPECT_EQ(test::FileExists(LogPath()), c.writes);
}

INSTANTIATE_TEST_SUITE_P(Values, EventLogSwitchTest,
                         ::testing::Values(SwitchCase{"Missing", 0, 0, L"", true},
                                           SwitchCase{"DwordZero", 1, 0, L"", false},
                                           SwitchCase{"DwordOne", 1, 1, L"", true},
                                           SwitchCase{"TextFalse", 2, 0, L"False", false},
                                           SwitchCase{"TextZero", 2, 0, L"0", false},
                                           SwitchCase{"TextTrue", 2, 0, L"TRUE", true},
                                           SwitchCase{"Unreadable", 2, 0, L"maybe", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EventLogWriteTest, UnwritableFileLosesTheLineQuietly) {
  enabled_.Remove();
  EventLog missingFolder(folder_.Path() + L"no\\such\\");
  missingFolder.Write(L"OpenProcess", L"1", true);
  EXPECT_FALSE(test::FileExists(folder_.Path() + L"no\\such\\CenterEvents.log"));

  // Held open without sharing by someone else: the write fails, nothing blocks.
  platform::UniqueFileHandle held(
      ::CreateFileW(LogPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.valid());
  EventLog log(folder_.Path());
  log.Write(L"OpenProcess", L"1", true);
  held.reset();
  EXPECT_TRUE(test::ReadFileBytes(LogPath()).empty());
}

TEST_F(EventLogWriteTest, WritersWaitForTheNamedFileLock) {
  enabled_.Remove();
  platform::UniqueHandle lock(::CreateMutexW(nullptr, TRUE, (std::wstring(protocol::kFileLockPrefix) + L"CenterEvents.log").c_str()));
  ASSERT_TRUE(lock.valid());
  EventLog log(folder_.Path());
  std::thread writer([&] { log.Write(L"OpenProcess", L"7", true); });
  // While we hold the lock, the line cannot appear.
  EXPECT_FALSE(test::WaitUntil([&] { return test::FileExists(LogPath()); }, 300));
  ::ReleaseMutex(lock.get());
  EXPECT_TRUE(test::WaitUntil([&] { return ReadLines(LogPath()).size() == 1; }));
  writer.join();
}

}  // namespace
}  // namespace dl::host
