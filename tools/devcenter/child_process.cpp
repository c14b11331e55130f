#include "tools/devcenter/child_process.h"

#include <stdexcept>
#include <vector>

namespace dl::devcenter {
namespace {
// Our environment with `overrides` applied, as a sorted double-terminated block.
std::vector<wchar_t> EnvironmentBlock(const EnvironmentOverrides& overrides) {
  auto upper = [](std::wstring s) {
    if (!s.empty()) ::CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
  };
  std::map<std::wstring, std::pair<std::wstring, std::wstring>> byUpper;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
      std::wstring entry(p);
      auto eq = entry.find(L'=', 1);  // "=C:=C:\..." entries start with "="
      if (eq == std::wstring::npos) continue;
      std::wstring name = entry.substr(0, eq);
      byUpper[upper(name)] = {name, entry.substr(eq + 1)};
    }
    ::FreeEnvironmentStringsW(block);
  }
  for (const auto& [name, value] : overrides) byUpper[upper(name)] = {name, value};
  std::vector<wchar_t> out;
  for (const auto& [key, entry] : byUpper) {
    std::wstring line = entry.first + L"=" + entry.second;
    out.insert(out.end(), line.begin(), line.end());
    out.push_back(L'\0');
  }
  out.push_back(L'\0');
  return out;
}

BOOL CALLBACK CloseWindowsOf(HWND wnd, LPARAM lParam) noexcept {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  if (pid == static_cast<DWORD>(lParam)) ::PostMessageW(wnd, WM_CLOSE, 0, 0);
  return TRUE;
}
}  // namespace

std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

std::wstring HostCommandLine(const std::wstring& hostPath, DWORD processId, HWND window, const std::wstring& placement) {
  // The host widens the window number with sign from 32 bits.
  const auto windowNumber = static_cast<long>(static_cast<int>(reinterpret_cast<INT_PTR>(window)));
  return QuoteArgument(hostPath) + L" " + std::to_wstring(processId) + L" " + std::to_wstring(windowNumber) + L" " +
         QuoteArgument(placement);
}

ChildProcess ChildProcess::Start(const std::wstring& commandLine, const EnvironmentOverrides& env,
                                 const std::wstring& folder) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::wstring cmd = commandLine;
  std::vector<wchar_t> block;
  if (!env.empty()) block = EnvironmentBlock(env);
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        block.empty() ? nullptr : block.data(), folder.empty() ? nullptr : folder.c_str(), &si, &pi))
    throw std::runtime_error("cannot start a process");
  ::CloseHandle(pi.hThread);
  ChildProcess child;
  child.process_.reset(pi.hProcess);
  child.id_ = pi.dwProcessId;
  return child;
}

ChildProcess::~ChildProcess() {
  if (Running()) Terminate();
}

bool ChildProcess::Running() const noexcept {
  return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs) const noexcept {
  return !process_ || ::WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const noexcept {
  DWORD code = STILL_ACTIVE;
  if (process_) ::GetExitCodeProcess(process_.get(), &code);
  return code;
}

void ChildProcess::Close(DWORD graceMs) noexcept {
  if (!Running()) return;
  ::EnumWindows(CloseWindowsOf, static_cast<LPARAM>(id_));
  if (!WaitForExit(graceMs)) Terminate();
}

void ChildProcess::Terminate() noexcept {
  if (!process_) return;
  ::TerminateProcess(process_.get(), 1);
  ::WaitForSingleObject(process_.get(), 5000);
}

}  // namespace dl::devcenter
