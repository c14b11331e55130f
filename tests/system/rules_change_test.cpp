// Editing the stand-in's rules file while Wine's notepad runs: the stand-in publishes a new
// rule block and sends the rule-change command to every client; notepad's library refreshes
// its window, which is marked and reported with the new rule.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "library/rules/window_marks.h"
#include "tests/host/host_test_support.h"
#include "tools/devcenter/child_process.h"

namespace dl::system_test {
namespace {
namespace t = host::test;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

bool Has(const std::string& line, const char* part) { return line.find(part) != std::string::npos; }

TEST(RulesChange, EditedRulesFileReachesNotepadsWindow) {
  t::ExpectNoHostRunning();
  t::ConfigFolderOverride config;
  t::TempFolder folder{L"rules_change"};
  t::ClearForeignCopies(t::BinFolder() + L"dlmemb64.dll");
  const std::filesystem::path rulesFile = folder.Path() + L"rules.json";
  std::filesystem::path demo = DL_DEMO_RULES_FILE;
  std::string rules = ReadAll(std::filesystem::path(L"Z:" + demo.make_preferred().wstring()));
  ASSERT_FALSE(rules.empty());
  WriteAll(rulesFile, rules);

  auto dc = devcenter::ChildProcess::Start(devcenter::QuoteArgument(t::BinFolder() + L"devcenter.exe") +
                                           L" run --launch notepad.exe --hold-ms 25000 --rules " +
                                           devcenter::QuoteArgument(rulesFile.wstring()) + L" --log " +
                                           devcenter::QuoteArgument(folder.Path() + L"record.jsonl"));
  // A window event makes the dispatcher look at notepad's window, which existed before the library.
  HWND notepad = nullptr;
  std::optional<std::uint32_t> first;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(12);
  for (int step = 0; std::chrono::steady_clock::now() < deadline && !first; ++step) {
    notepad = ::FindWindowW(L"Notepad", nullptr);
    if (notepad) {
      first = rules::ReadWindowMarks(notepad);
      if (!first) ::SetWindowPos(notepad, nullptr, 40 + step % 2, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(first) << "notepad's window was never marked";

  // The notepad rule gets a new name and new parameters: a new checksum.
  const std::string from = "\"name\": \"Notepad\",\n         \"params\": [[\"window_rule_name\", {\"text\": \"Notepad\"}]";
  const std::string to = "\"name\": \"Notepad edited\",\n         \"params\": [[\"window_rule_name\", {\"text\": \"Notepad edited\"}]";
  const auto at = rules.find(from);
  ASSERT_NE(at, std::string::npos) << "the demo's notepad rule has another shape now";
  rules.replace(at, from.size(), to);
  WriteAll(rulesFile, rules);

  // Nothing touches the window now: only the command can bring the new rule.
  std::optional<std::uint32_t> second;
  deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    second = rules::ReadWindowMarks(notepad);
    if (second && *second != *first) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(second && *second != *first) << "the window kept its old rule";
  DWORD_PTR length = 0;
  EXPECT_TRUE(::SendMessageTimeoutW(notepad, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 2000, &length)) << "notepad answers";

  EXPECT_TRUE(dc.WaitForExit(60000));
  EXPECT_EQ(dc.ExitCode(), 0u);
  int published = 0;
  bool broadcast = false, sent = false, reported = false;
  for (const auto& line : t::ReadLines(folder.Path() + L"record.jsonl")) {
    if (Has(line, "\"event\":\"rules_published\"")) ++published;
    if (Has(line, "\"event\":\"command_broadcast\"") && Has(line, "\"reason\":\"rules_changed\"") &&
        !Has(line, "\"clients_reached\":0"))
      broadcast = true;
    if (Has(line, "\"event\":\"command_sent\"") && Has(line, "\"code\":2,") &&
        Has(line, "\"receiver\":\"plugins/RuleDispatcher\"") && Has(line, "\"ok\":true"))
      sent = true;
    if (Has(line, "\"event\":\"request\"") && Has(line, "\"rule\":\"Notepad edited\"")) {
      reported = true;
      std::printf("notice: %s\n", line.c_str());
    }
  }
  EXPECT_EQ(published, 2) << "the file at start and after the edit";
  EXPECT_TRUE(broadcast) << "no rule-change command reached a client";
  EXPECT_TRUE(sent) << "the log does not show the command sent";
  EXPECT_TRUE(reported) << "notepad's window was not reported with the new rule";
}

}  // namespace
}  // namespace dl::system_test
