// Wine's notepad with a rule gets a window extender: its window answers the extender's ping
// through the subclassing trampoline, and the attach line of the library's event log reaches
// the stand-in main program.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "library/extender/window_extender.h"
#include "platform/registered_messages.h"
#include "tests/host/host_test_support.h"
#include "tests/support/bin_dir.h"
#include "tools/devcenter/child_process.h"

namespace dl::system_test {
namespace {
using dl::test::WinePath;
namespace t = host::test;

LRESULT Ping(HWND wnd) {
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(wnd, platform::ServiceMessage(), extender::kSvcPing, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                             1000, &answer))
    return -1;
  return static_cast<LRESULT>(answer);
}

TEST(NotepadExtender, RuledNotepadIsExtendedAndItsAttachLineReachesTheMainProgram) {
  t::ExpectNoHostRunning();
  t::ConfigFolderOverride config;
  t::TempFolder folder{L"system"};
  t::ClearForeignCopies(t::BinFolder() + L"dlmemb64.dll");
  auto dc = devcenter::ChildProcess::Start(devcenter::QuoteArgument(t::BinFolder() + L"devcenter.exe") +
                                           L" run --launch notepad.exe --hold-ms 8000 --rules " +
                                           devcenter::QuoteArgument(WinePath(DL_DEMO_RULES_FILE)) + L" --log " +
                                           devcenter::QuoteArgument(folder.Path() + L"record.jsonl"));
  HWND notepad = nullptr;
  bool extended = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(7);
  int step = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    notepad = ::FindWindowW(L"Notepad", nullptr);
    if (notepad) {
      if (Ping(notepad) == extender::kSvcPingAnswer) {
        extended = true;
        break;
      }
      // A window event, as a user's would be, makes the dispatcher look at the window.
      ::SetWindowPos(notepad, nullptr, 40 + (step++ % 2), 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(notepad) << "notepad did not start";
  EXPECT_TRUE(extended) << "notepad's window was not extended";
  // Extended, it still works as before.
  DWORD_PTR length = 0;
  EXPECT_TRUE(::SendMessageTimeoutW(notepad, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 2000, &length));
  EXPECT_GT(length, 0u);
  RECT before{}, after{};
  ::GetWindowRect(notepad, &before);
  ::SetWindowPos(notepad, nullptr, 0, 0, before.right - before.left + 20, before.bottom - before.top + 10,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::GetWindowRect(notepad, &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left + 20);
  // The stand-in ends its session itself: host stopped, notepad closed.
  EXPECT_TRUE(dc.WaitForExit(60000));
  EXPECT_EQ(dc.ExitCode(), 0u);
  int attachLines = 0;
  for (const auto& line : t::ReadLines(folder.Path() + L"record.jsonl")) {
    if (line.find("\"event\":\"request\"") == std::string::npos) continue;
    if (line.find("EventLogger") == std::string::npos) continue;
    if (line.find("TWindowExtender;AttachWindow;-") == std::string::npos) continue;
    ++attachLines;
    std::printf("attach line: %s\n", line.c_str());
  }
  EXPECT_EQ(attachLines, 1) << "the attach line did not reach the stand-in once";
}

}  // namespace
}  // namespace dl::system_test
