// A rule written in the stand-in's rules file reaches Wine's notepad: the library's
// dispatcher in notepad opens the published blocks, matches notepad's window against the
// demo rule and marks it with the rule's checksum.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "library/rules/window_marks.h"
#include "tests/host/host_test_support.h"
#include "tests/support/bin_dir.h"
#include "tools/devcenter/child_process.h"

namespace dl::system_test {
namespace {
using dl::test::WinePath;
namespace t = host::test;

TEST(NotepadRule, NotepadWindowIsMarkedWithTheRuleOfTheRulesFile) {
  t::ExpectNoHostRunning();
  t::ConfigFolderOverride config;
  t::TempFolder folder{L"system"};
  t::ClearForeignCopies(t::BinFolder() + L"dlmemb64.dll");
  auto dc = devcenter::ChildProcess::Start(devcenter::QuoteArgument(t::BinFolder() + L"devcenter.exe") +
                                           L" run --launch notepad.exe --hold-ms 10000 --rules " +
                                           devcenter::QuoteArgument(WinePath(DL_DEMO_RULES_FILE)) + L" --log " +
                                           devcenter::QuoteArgument(folder.Path() + L"record.jsonl"));
  // Notepad's window exists before the library arrives in its thread; a window event
  // (here: a small move, as a user's would be) makes the dispatcher look at it.
  HWND notepad = nullptr;
  std::optional<std::uint32_t> mark;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(9);
  int step = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    notepad = ::FindWindowW(L"Notepad", nullptr);
    if (notepad) {
      mark = rules::ReadWindowMarks(notepad);
      if (mark) break;
      ::SetWindowPos(notepad, nullptr, 40 + (step++ % 2), 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(notepad) << "notepad did not start";
  EXPECT_TRUE(mark) << "notepad's window was not marked";
  EXPECT_NE(mark.value_or(0), 0u);
  // Still working: it answers and keeps its caption.
  DWORD_PTR length = 0;
  EXPECT_TRUE(::SendMessageTimeoutW(notepad, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 2000, &length));
  EXPECT_GT(length, 0u);
  // The stand-in ends its session itself: host stopped, notepad closed.
  EXPECT_TRUE(dc.WaitForExit(60000));
  EXPECT_EQ(dc.ExitCode(), 0u);
  // The registration notice as the stand-in received it: empty receiver, command 1.
  bool noticed = false;
  for (const auto& line : t::ReadLines(folder.Path() + L"record.jsonl")) {
    if (line.find("\"event\":\"request\"") == std::string::npos) continue;
    if (line.find("\"code\":1,") == std::string::npos && line.find("\"code\":1}") == std::string::npos) continue;
    if (line.find("\"receiver\":\"\"") == std::string::npos) continue;
    noticed = true;
    std::printf("notice: %s\n", line.c_str());
  }
  EXPECT_TRUE(noticed) << "no registration notice in the stand-in's log";
}

}  // namespace
}  // namespace dl::system_test
