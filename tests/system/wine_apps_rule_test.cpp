// Rules written in the stand-in's rules file reach Wine's own programs: each program's
// window is reported to the stand-in with the rule that names its executable, and the
// program keeps answering afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "library/rules/window_marks.h"
#include "tests/host/host_test_support.h"
#include "tests/support/bin_dir.h"
#include "tools/devcenter/child_process.h"

namespace dl::system_test {
namespace {
using dl::test::WinePath;
namespace t = host::test;
using nlohmann::json;

struct AppCase {
  const wchar_t* launch;
  const char* exeSuffix;  // the upper-cased end of the executable path in the notice
  const char* rule;
  int ruleType;  // 2 specific, 3 exclusion
};

constexpr AppCase kApps[] = {
    {L"notepad.exe", "\\NOTEPAD.EXE", "Notepad", 2},
    {L"regedit.exe", "\\REGEDIT.EXE", "Registry Editor", 2},
    {L"winecfg.exe", "\\WINECFG.EXE", "Wine configuration", 3},
    {L"winemine.exe", "\\WINEMINE.EXE", "Minesweeper", 2},
    {L"taskmgr.exe", "\\TASKMGR.EXE", "Task Manager", 2},
    {L"winefile.exe", "\\WINEFILE.EXE", "File Manager", 2},
    {L"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe", "\\WORDPAD.EXE", "WordPad", 2},
};

bool EndsWith(std::string text, const std::string& suffix) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<HWND> VisibleTopLevelWindowsOf(DWORD pid) {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } search{pid, {}};
  ::EnumWindows(
      [](HWND wnd, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(wnd, &owner);
        if (owner == s.pid && ::IsWindowVisible(wnd)) s.found.push_back(wnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The notices of the log, keyed by process id.
std::multimap<DWORD, json> Notices(const std::wstring& record) {
  std::multimap<DWORD, json> notices;
  for (const auto& line : t::ReadLines(record)) {
    const json entry = json::parse(line, nullptr, false);
    if (entry.is_discarded() || entry.value("event", "") != "request" || !entry.contains("notice")) continue;
    notices.emplace(entry.value("pid", 0u), entry["notice"]);
  }
  return notices;
}

std::map<std::string, DWORD> StartedApps(const std::wstring& record) {
  std::map<std::string, DWORD> pids;
  for (const auto& line : t::ReadLines(record)) {
    const json entry = json::parse(line, nullptr, false);
    if (!entry.is_discarded() && entry.value("event", "") == "app_started")
      pids[entry.value("exe", "")] = entry.value("pid", 0u);
  }
  return pids;
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (const wchar_t* p = text; *p; ++p) out += static_cast<char>(*p);
  return out;
}

TEST(WineAppsRules, EachProgramIsReportedWithItsRuleAndKeepsWorking) {
  t::ExpectNoHostRunning();
  t::ConfigFolderOverride config;
  t::TempFolder folder{L"system"};
  t::ClearForeignCopies(t::BinFolder() + L"dlmemb64.dll");
  const std::wstring record = folder.Path() + L"record.jsonl";
  std::wstring command = devcenter::QuoteArgument(t::BinFolder() + L"devcenter.exe") + L" run --hold-ms 25000 --rules " +
                         devcenter::QuoteArgument(WinePath(DL_DEMO_RULES_FILE)) + L" --log " +
                         devcenter::QuoteArgument(record);
  for (const AppCase& app : kApps) command += L" --launch " + devcenter::QuoteArgument(app.launch);
  auto dc = devcenter::ChildProcess::Start(command);

  // Windows that exist before the library reaches their thread are looked at on their
  // next window event: a small move, as a user's would be.
  std::map<std::string, json> reported;  // launch -> notice
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(22);
  while (reported.size() < std::size(kApps) && std::chrono::steady_clock::now() < deadline) {
    const auto pids = StartedApps(record);
    const auto notices = Notices(record);
    for (const AppCase& app : kApps) {
      const std::string launch = Narrow(app.launch);
      if (reported.count(launch) || !pids.count(launch)) continue;
      const DWORD pid = pids.at(launch);
      for (auto [it, end] = notices.equal_range(pid); it != end; ++it)
        if (EndsWith(it->second.value("exe", ""), app.exeSuffix)) reported[launch] = it->second;
      if (reported.count(launch)) continue;
      for (HWND wnd : VisibleTopLevelWindowsOf(pid))
        ::SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_FRAMECHANGED);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }

  const auto pids = StartedApps(record);
  for (const AppCase& app : kApps) {
    const std::string launch = Narrow(app.launch);
    SCOPED_TRACE(launch);
    ASSERT_TRUE(reported.count(launch)) << "no registration notice from " << launch;
    const json& notice = reported[launch];
    std::printf("%-60s -> rule \"%s\" (type %d), class \"%s\", caption \"%s\"\n", launch.c_str(),
                notice.value("rule", "").c_str(), notice.value("rule_type", 0), notice.value("class", "").c_str(),
                notice.value("caption", "").c_str());
    EXPECT_EQ(notice.value("rule", ""), app.rule);
    EXPECT_EQ(notice.value("rule_type", 0), app.ruleType);
    // The reported window is the program's own and still answers.
    const HWND wnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(notice.value("window", 0ull)));
    DWORD owner = 0;
    ::GetWindowThreadProcessId(wnd, &owner);
    EXPECT_EQ(owner, pids.at(launch));
    DWORD_PTR length = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 2000, &length));
    // Specific rules mark the window with their checksum; an exclusion gives no parameters.
    if (app.ruleType == 2) {
      EXPECT_TRUE(rules::ReadWindowMarks(wnd).has_value());
    }
  }
  EXPECT_TRUE(dc.WaitForExit(90000));
  EXPECT_EQ(dc.ExitCode(), 0u);
}

}  // namespace
}  // namespace dl::system_test
