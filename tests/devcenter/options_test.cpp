#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/devcenter/child_process.h"
#include "tools/devcenter/options.h"

namespace dl::devcenter {
namespace {

TEST(DevCenterOptions, RunLineIsRead) {
  Options o = ParseOptions({L"run", L"--placement", L"0", L"--launch", L"notepad.exe", L"--launch", L"b.exe",
                            L"--hold-ms", L"250", L"--post", L"74", L"--temp", L"C:\\t", L"--log", L"x.jsonl",
                            L"--show-event-log"});
  EXPECT_EQ(o.mode, Mode::kRun);
  EXPECT_EQ(o.placement, L"0");
  EXPECT_EQ(o.launch, (std::vector<std::wstring>{L"notepad.exe", L"b.exe"}));
  EXPECT_EQ(o.holdMs, 250u);
  EXPECT_EQ(o.post, (std::vector<WPARAM>{74}));
  EXPECT_EQ(o.tempFolder, L"C:\\t");
  EXPECT_EQ(o.logPath, L"x.jsonl");
  EXPECT_TRUE(o.showEventLog);
  EXPECT_EQ(ParseOptions({L"run"}).placement, L"1");
}

TEST(DevCenterOptions, RulesFileForARunOrACheck) {
  EXPECT_EQ(ParseOptions({L"run", L"--rules", L"r.json"}).rulesFile, L"r.json");
  const Options check = ParseOptions({L"check-rules", L"--rules", L"r.json"});
  EXPECT_EQ(check.mode, Mode::kCheckRules);
  EXPECT_EQ(check.rulesFile, L"r.json");
}

TEST(DevCenterOptions, BadLinesAreRefused) {
  const std::vector<std::vector<std::wstring>> bad = {
      {},
      {L"fly"},
      {L"run", L"--hold-ms"},
      {L"run", L"--hold-ms", L"-5"},
      {L"run", L"--hold-ms", L"12x"},
      {L"run", L"--hold-ms", L"99999999999"},
      {L"run", L"--colour", L"red"},
      {L"probe"},
      {L"check-rules"},
      {L"run", L"--rules"},
  };
  for (const auto& args : bad) EXPECT_THROW(ParseOptions(args), std::invalid_argument) << args.size();
}

TEST(DevCenterCommandLine, HostArgumentsAreQuotedAndTheWindowIsSigned) {
  EXPECT_EQ(HostCommandLine(L"C:\\a b\\DeskloomCenter64.exe", 12, reinterpret_cast<HWND>(INT_PTR{0x10060}), L"0"),
            L"\"C:\\a b\\DeskloomCenter64.exe\" 12 65632 0");
  EXPECT_EQ(HostCommandLine(L"h.exe", 1, reinterpret_cast<HWND>(INT_PTR{-2}), L""), L"h.exe 1 -2 \"\"");
  EXPECT_EQ(QuoteArgument(L"a\"b"), L"\"a\\\"b\"");
  EXPECT_EQ(QuoteArgument(L"C:\\x y\\"), L"\"C:\\x y\\\\\"");
}

}  // namespace
}  // namespace dl::devcenter
