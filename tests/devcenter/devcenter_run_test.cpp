// devcenter as a real process under Wine, with the real host and library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/host/host_test_support.h"
#include "tools/devcenter/child_process.h"

namespace dl::devcenter {
namespace {
using nlohmann::json;
namespace t = host::test;

struct Outcome {
  DWORD exitCode = 0;
  std::vector<json> records;
  // The first record of `event`, or null.
  json First(const std::string& event) const {
    for (const auto& r : records)
      if (r.value("event", "") == event) return r;
    return nullptr;
  }
  std::vector<json> All(const std::string& event) const {
    std::vector<json> out;
    for (const auto& r : records)
      if (r.value("event", "") == event) out.push_back(r);
    return out;
  }
};

class DevCenterRunTest : public ::testing::Test {
 protected:
  void SetUp() override { t::ExpectNoHostRunning(); }

  Outcome Run(const std::wstring& args) {
    const std::wstring logPath = folder_.Path() + L"record.jsonl";
    auto dc = ChildProcess::Start(QuoteArgument(t::BinFolder() + L"devcenter.exe") + L" " + args + L" --log " +
                                  QuoteArgument(logPath));
    EXPECT_TRUE(dc.WaitForExit(60000));
    Outcome o;
    o.exitCode = dc.ExitCode();
    for (const auto& line : t::ReadLines(logPath))
      if (!line.empty()) o.records.push_back(json::parse(line));
    return o;
  }

  t::ConfigFolderOverride config_;
  t::TempFolder folder_{L"devcenter"};
};

TEST_F(DevCenterRunTest, RunStartsHostMapsLibraryIntoAppAndStopsCleanly) {
  t::ClearForeignCopies(t::BinFolder() + L"dlmemb64.dll");
  Outcome o = Run(L"run --launch notepad.exe --hold-ms 200 --show-event-log");
  EXPECT_EQ(o.exitCode, 0u);
  json ready = o.First("ready_message");
  ASSERT_FALSE(ready.is_null());
  EXPECT_EQ(ready["wparam"], 73);
  EXPECT_GT(ready["thread_id"].get<long long>(), 0);
  EXPECT_FALSE(o.First("startup_event").is_null());
  json module = o.First("module");
  ASSERT_FALSE(module.is_null());
  EXPECT_TRUE(module["mapped"].get<bool>());
  EXPECT_THAT(module["path"].get<std::string>(), ::testing::EndsWith("dlmemb64.dll"));
  // The library in notepad answers the read-only state query: it built its application there.
  json state = o.First("library_state");
  ASSERT_FALSE(state.is_null());
  EXPECT_TRUE(state["answered"].get<bool>());
  EXPECT_TRUE(state["application"].get<bool>());
  EXPECT_FALSE(state["inert"].get<bool>());
  json ended = o.First("host_ended");
  ASSERT_FALSE(ended.is_null());
  EXPECT_EQ(ended["exit_code"], 0);
  json events = o.First("events");
  EXPECT_TRUE(events["shutdown"].get<bool>());
  EXPECT_FALSE(events["need_relogin"].get<bool>());
  std::vector<std::string> log;
  for (const auto& r : o.All("event_log")) log.push_back(r["line"]);
  EXPECT_THAT(log, ::testing::Contains(::testing::HasSubstr(";Succeeded;CallEAProc;InstallMainHooks")));
  EXPECT_THAT(log, ::testing::Contains(::testing::HasSubstr(";Succeeded;CallEAProc;UninstallMainHooks")));
  EXPECT_TRUE(o.First("result")["ok"].get<bool>());
}

TEST_F(DevCenterRunTest, HostThatCannotLoadIsReportedAsFailure) {
  t::HostFolder bare(t::FakeLibrary::kNone);
  Outcome o = Run(L"run --host " + QuoteArgument(bare.HostExe()));
  EXPECT_EQ(o.exitCode, 1u);
  EXPECT_TRUE(o.First("ready_message").is_null());
  EXPECT_FALSE(o.First("host_ended_before_startup").is_null());
  EXPECT_TRUE(o.First("events")["shutdown"].get<bool>());
  EXPECT_FALSE(o.First("result")["ok"].get<bool>());
}

TEST_F(DevCenterRunTest, ProbeReportsWhetherAModuleIsMapped) {
  Outcome yes = Run(L"probe --launch notepad.exe --module kernel32.dll");
  EXPECT_EQ(yes.exitCode, 0u);
  EXPECT_TRUE(yes.First("module")["mapped"].get<bool>());
  Outcome no = Run(L"probe --launch notepad.exe --module dl_never_loaded.dll --module-timeout-ms 300");
  EXPECT_EQ(no.exitCode, 1u);
  EXPECT_FALSE(no.First("module")["mapped"].get<bool>());
  EXPECT_FALSE(no.First("app_closed").is_null());
}

TEST_F(DevCenterRunTest, UsageErrorsEndWithCodeTwo) {
  auto dc = ChildProcess::Start(QuoteArgument(t::BinFolder() + L"devcenter.exe") + L" run --hold-ms soon");
  ASSERT_TRUE(dc.WaitForExit(30000));
  EXPECT_EQ(dc.ExitCode(), 2u);
}

}  // namespace
}  // namespace dl::devcenter
