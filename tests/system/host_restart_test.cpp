// The host stopped while about a hundred windows of several processes are extended: every window
// keeps working and no process crashes; the host started again extends them again.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "library/extender/window_extender.h"
#include "platform/registered_messages.h"
#include "tests/host/host_test_support.h"
#include "tests/support/bin_dir.h"
#include "tools/devcenter/child_process.h"

namespace dl::system_test {
namespace {
using dl::test::WinePath;
namespace t = host::test;
using Clock = std::chrono::steady_clock;

constexpr int kCrowdWindows = 95;

bool Extended(HWND wnd) {
  DWORD_PTR answer = 0;
  return ::SendMessageTimeoutW(wnd, platform::ServiceMessage(), extender::kSvcPing, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                               1000, &answer) &&
         static_cast<LRESULT>(answer) == extender::kSvcPingAnswer;
}

std::vector<HWND> VisibleWindowsOf(const std::vector<DWORD>& pids) {
  struct Search {
    const std::vector<DWORD>* pids;
    std::vector<HWND> found;
  } search{&pids, {}};
  ::EnumWindows(
      [](HWND wnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(wnd, &pid);
        if (::IsWindowVisible(wnd) && std::find(s->pids->begin(), s->pids->end(), pid) != s->pids->end())
          s->found.push_back(wnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Nudges every window that is not extended yet, as a user's input would: a posted message brings
// the library into an idle thread, and a window event makes the dispatcher look at the window.
int ExtendAll(const std::vector<HWND>& windows, std::chrono::seconds limit) {
  const auto deadline = Clock::now() + limit;
  int extended = 0;
  int step = 0;
  while (Clock::now() < deadline) {
    extended = 0;
    for (HWND wnd : windows) {
      if (Extended(wnd)) {
        ++extended;
        continue;
      }
      ::PostMessageW(wnd, WM_NULL, 0, 0);
      RECT rc{};
      ::GetWindowRect(wnd, &rc);
      ::SetWindowPos(wnd, nullptr, rc.left + (step % 2 ? 1 : -1), rc.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    }
    if (extended == static_cast<int>(windows.size())) break;
    ++step;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return extended;
}

devcenter::ChildProcess StartSession(const t::TempFolder& folder, const wchar_t* log, int holdMs) {
  return devcenter::ChildProcess::Start(devcenter::QuoteArgument(t::BinFolder() + L"devcenter.exe") +
                                        L" run --hold-ms " + std::to_wstring(holdMs) + L" --rules " +
                                        devcenter::QuoteArgument(WinePath(DL_CROWD_RULES_FILE)) + L" --log " +
                                        devcenter::QuoteArgument(folder.Path() + log));
}

TEST(HostRestart, ExtendedWindowsOutliveTheHostAndAreExtendedAgainByTheNextOne) {
  t::ExpectNoHostRunning();
  t::ConfigFolderOverride config;
  t::TempFolder folder{L"restart"};
  t::ClearForeignCopies(t::BinFolder() + L"dlmemb64.dll");
  std::vector<devcenter::ChildProcess> apps;
  apps.push_back(devcenter::ChildProcess::Start(devcenter::QuoteArgument(t::BinFolder() + L"window_crowd_app.exe") +
                                                L" " + std::to_wstring(kCrowdWindows)));
  for (const wchar_t* exe : {L"notepad.exe", L"regedit.exe", L"winemine.exe", L"winefile.exe"})
    apps.push_back(devcenter::ChildProcess::Start(exe));
  std::vector<DWORD> pids;
  for (const auto& app : apps) pids.push_back(app.Id());
  std::vector<HWND> windows;
  const auto shown = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < shown) {
    windows = VisibleWindowsOf(pids);
    if (windows.size() >= kCrowdWindows + 4) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_GE(windows.size(), static_cast<std::size_t>(kCrowdWindows + 4)) << "the applications did not show up";

  auto first = StartSession(folder, L"first.jsonl", 20000);
  EXPECT_EQ(ExtendAll(windows, std::chrono::seconds(18)), static_cast<int>(windows.size()));
  EXPECT_TRUE(first.WaitForExit(60000));

  // The host is gone: every window still answers, sizes and paints; nobody crashed.
  for (const auto& app : apps) EXPECT_TRUE(app.Running()) << "process " << app.Id() << " ended";
  int answering = 0;
  for (HWND wnd : windows) {
    DWORD_PTR length = 0;
    RECT before{}, after{};
    ::GetWindowRect(wnd, &before);
    ::SetWindowPos(wnd, nullptr, 0, 0, before.right - before.left + 4, before.bottom - before.top + 2,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::GetWindowRect(wnd, &after);
    const bool painted = ::RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME) != FALSE;
    if (::SendMessageTimeoutW(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 2000, &length) && painted &&
        after.right - after.left == before.right - before.left + 4)
      ++answering;
  }
  EXPECT_EQ(answering, static_cast<int>(windows.size()));
  for (HWND wnd : windows) {
    wchar_t cls[64] = {};
    ::GetClassNameW(wnd, cls, 64);
    if (std::wstring(cls) != L"DlCrowdWindow") continue;
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(wnd, WM_APP, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 2000, &answer);
    EXPECT_EQ(answer, 0x600Du);
  }

  int stillExtended = 0;
  for (HWND wnd : windows) stillExtended += Extended(wnd) ? 1 : 0;
  // The library left every window (its extenders detached), so the next host has all to do again.
  EXPECT_EQ(stillExtended, 0);

  auto second = StartSession(folder, L"second.jsonl", 20000);
  EXPECT_EQ(ExtendAll(windows, std::chrono::seconds(18)), static_cast<int>(windows.size()))
      << "the windows were not extended again";
  EXPECT_TRUE(second.WaitForExit(60000));

  for (auto& app : apps) {
    EXPECT_TRUE(app.Running()) << "process " << app.Id() << " ended";
    app.Close(5000);
  }
  // The crowd application closes all its windows and ends on its own with exit code 0.
  EXPECT_EQ(apps.front().ExitCode(), 0u);
}

}  // namespace
}  // namespace dl::system_test
