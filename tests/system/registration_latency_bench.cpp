// How long a ruled window waits for the system: from ShowWindow to its extender answering the
// ping in its own process, and to its registration notice arriving in the stand-in's log.
// Both against creating, showing and destroying a window that no rule matches, in the same
// hooked process and the same run.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
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

constexpr int kRounds = 15;
constexpr wchar_t kRuledClass[] = L"DlCrowdWindow";  // the crowd rules file's "Crowd" rule
constexpr wchar_t kPlainClass[] = L"DlLatencyPlainWindow";

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void RegisterClasses() {
  for (const wchar_t* name : {kRuledClass, kPlainClass}) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    ::RegisterClassW(&wc);
  }
}

HWND CreateHidden(const wchar_t* cls, const std::wstring& caption) {
  return ::CreateWindowExW(0, cls, caption.c_str(), WS_OVERLAPPEDWINDOW, 60, 60, 300, 200, nullptr, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

bool Extended(HWND wnd) {
  DWORD_PTR answer = 0;
  return ::SendMessageTimeoutW(wnd, platform::ServiceMessage(), extender::kSvcPing, 0, SMTO_BLOCK, 1000, &answer) &&
         static_cast<LRESULT>(answer) == extender::kSvcPingAnswer;
}

// The stand-in writes its log line by line; it is read while being written.
std::string ReadShared(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
  ::CloseHandle(file);
  return text;
}

// The stand-in's absolute tick of the notice for the window with this caption, if logged yet.
std::optional<ULONGLONG> NoticeTick(const std::string& log, const std::string& caption) {
  const std::string needle = "\"caption\":\"" + caption + "\"";
  for (std::size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
    const std::size_t begin = log.rfind('\n', at) + 1;
    const std::size_t end = log.find('\n', at);
    const std::string line = log.substr(begin, end - begin);
    if (line.find("\"event\":\"request\"") == std::string::npos) continue;
    const std::size_t tick = line.find("\"tick\":");
    if (tick == std::string::npos) continue;
    return std::stoull(line.substr(tick + 7));
  }
  return std::nullopt;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

TEST(RegistrationLatency, ShownRuledWindowIsExtendedAndNoticedSoonAfter) {
  t::ExpectNoHostRunning();
  t::ConfigFolderOverride config;
  t::TempFolder folder{L"latency"};
  t::ClearForeignCopies(t::BinFolder() + L"dlmemb64.dll");
  const std::wstring log = folder.Path() + L"record.jsonl";
  auto dc = devcenter::ChildProcess::Start(devcenter::QuoteArgument(t::BinFolder() + L"devcenter.exe") +
                                           L" run --hold-ms 20000 --rules " +
                                           devcenter::QuoteArgument(WinePath(DL_CROWD_RULES_FILE)) + L" --log " +
                                           devcenter::QuoteArgument(log));
  RegisterClasses();

  // The library reaches this thread on a message once the host has hooked; a first ruled window
  // shows that the dispatcher is active here.
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  HWND warm = CreateHidden(kRuledClass, L"Latency warm-up");
  ::ShowWindow(warm, SW_SHOWNOACTIVATE);
  bool ready = false;
  while (!ready && Clock::now() < deadline) {
    ::PostMessageW(warm, WM_NULL, 0, 0);
    Pump();
    if (Extended(warm) && NoticeTick(ReadShared(log), "Latency warm-up")) {
      ready = true;
      break;
    }
    ::SetWindowPos(warm, nullptr, 61, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::DestroyWindow(warm);
  ASSERT_TRUE(ready) << "the library never extended a ruled window of this process";

  std::vector<double> plainMs, extendedMs, noticedMs;
  for (int round = 0; round < kRounds; ++round) {
    // Baseline: a window that no rule matches, created, shown and destroyed.
    const auto p0 = Clock::now();
    HWND plain = CreateHidden(kPlainClass, L"Latency plain");
    ::ShowWindow(plain, SW_SHOWNOACTIVATE);
    Pump();
    ::DestroyWindow(plain);
    plainMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - p0).count());

    const std::string caption = "Latency " + std::to_string(round);
    HWND ruled = CreateHidden(kRuledClass, std::wstring(caption.begin(), caption.end()));
    const ULONGLONG shownTick = ::GetTickCount64();
    const auto s0 = Clock::now();
    ::ShowWindow(ruled, SW_SHOWNOACTIVATE);
    std::optional<double> extendedAt;
    std::optional<ULONGLONG> noticeTick;
    const auto roundDeadline = Clock::now() + std::chrono::seconds(5);
    while ((!extendedAt || !noticeTick) && Clock::now() < roundDeadline) {
      Pump();
      if (!extendedAt && Extended(ruled))
        extendedAt = std::chrono::duration<double, std::milli>(Clock::now() - s0).count();
      if (!noticeTick) noticeTick = NoticeTick(ReadShared(log), caption);
      if (!extendedAt || !noticeTick) ::Sleep(0);
    }
    ::DestroyWindow(ruled);
    Pump();
    ASSERT_TRUE(extendedAt) << caption << " was not extended";
    ASSERT_TRUE(noticeTick) << caption << " was not noticed by the stand-in";
    extendedMs.push_back(*extendedAt);
    noticedMs.push_back(static_cast<double>(*noticeTick >= shownTick ? *noticeTick - shownTick : 0));
  }
  const double base = Median(plainMs);
  const double extendedMedian = Median(extendedMs);
  const double noticedMedian = Median(noticedMs);
  std::printf("create+show+destroy of an unruled window: %.2f ms (baseline)\n", base);
  std::printf("shown -> extender answers the ping:      %.2f ms (%.2fx baseline)\n", extendedMedian,
              base > 0 ? extendedMedian / base : 0);
  std::printf("shown -> notice in the stand-in's log:   %.2f ms (%.2fx baseline)\n", noticedMedian,
              base > 0 ? noticedMedian / base : 0);
  // A window waiting seconds for its extender would be a fault, not noise.
  EXPECT_LT(extendedMedian, 1000.0);
  EXPECT_LT(noticedMedian, 2000.0);
  // The stand-in ends its session itself: host stopped.
  EXPECT_TRUE(dc.WaitForExit(60000));
}

}  // namespace
}  // namespace dl::system_test
