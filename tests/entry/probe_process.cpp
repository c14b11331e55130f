#include "tests/entry/probe_process.h"

#include <atomic>
#include <cstdlib>
#include <thread>

#include "tests/entry/probe_protocol.h"

namespace dl::entry::test {
namespace {
std::atomic<int> g_nextToken{0};
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

std::wstring BinDir() {
  const wchar_t* dir = _wgetenv(L"DL_BIN_DIR");
  if (dir && *dir) {
    // ctest hands over a Unix path; Wine maps it through the Z: drive.
    std::wstring path = dir;
    if (path[0] == L'/') {
      for (auto& c : path)
        if (c == L'/') c = L'\\';
      path = L"Z:" + path;
    }
    return path;
  }
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L"\\/"));
}

std::unique_ptr<ProbeProcess> ProbeProcess::Start(const std::wstring& exePath) {
  std::unique_ptr<ProbeProcess> probe(new ProbeProcess());
  const std::wstring token =
      L"probe-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(g_nextToken++);
  std::wstring commandLine = L"\"" + exePath + L"\" " + token;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return nullptr;
  platform::UniqueHandle thread(pi.hThread);
  probe->process_.reset(pi.hProcess);
  probe->processId_ = pi.dwProcessId;
  ProbeProcess* raw = probe.get();
  WaitUntil([&] {
    raw->window_ = ::FindWindowW(kProbeClassName, token.c_str());
    return raw->window_ != nullptr || ::WaitForSingleObject(raw->process_.get(), 0) == WAIT_OBJECT_0;
  });
  if (!probe->window_) return nullptr;
  return probe;
}

ProbeProcess::~ProbeProcess() {
  if (!process_) return;
  if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process_.get(), 99);
    ::WaitForSingleObject(process_.get(), 10000);
  }
}

LRESULT ProbeProcess::Query(UINT message, WPARAM wParam) const {
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(window_, message, wParam, 0, SMTO_NORMAL, 5000, &answer)) return -1;
  return static_cast<LRESULT>(answer);
}

bool ProbeProcess::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageW(window_, message, wParam, lParam) != FALSE;
}

bool ProbeProcess::Flush() {
  const LRESULT expected = ++markers_;
  if (!Post(kProbeMarker, 0, 0)) return false;
  return WaitUntil([&] { return Query(kProbeMarkersSeen) >= expected; });
}

bool ProbeProcess::WaitLibraryMapped() {
  return WaitUntil([&] {
    Post(WM_NULL, 0, 0);
    return Query(kProbeLibraryMapped) == 1;
  });
}

}  // namespace dl::entry::test
