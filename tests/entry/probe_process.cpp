#include "tests/entry/probe_process.h"

#include <atomic>

#include "platform/registered_messages.h"
#include "protocol/entry_state.h"
#include "protocol/service_codes.h"
#include "tests/entry/probe_protocol.h"
#include "tests/support/bin_dir.h"
#include "tests/support/pump.h"

namespace dl::entry::test {
using namespace dl::protocol;
namespace {
std::atomic<int> g_nextToken{0};
using dl::test::PumpUntil;
}  // namespace

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
  PumpUntil(
      [&] {
        raw->window_ = ::FindWindowW(kProbeClassName, token.c_str());
        return raw->window_ != nullptr || ::WaitForSingleObject(raw->process_.get(), 0) == WAIT_OBJECT_0;
      },
      kProbeWait);
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
  return PumpUntil([&] { return Query(kProbeMarkersSeen) >= expected; }, kProbeWait);
}

bool ProbeProcess::WaitLibraryMapped() {
  return PumpUntil(
      [&] {
        Post(WM_NULL, 0, 0);
        return Query(kProbeLibraryMapped) == 1;
      },
      kProbeWait);
}

HookLibrary::HookLibrary() {
  module_.reset(::LoadLibraryW((dl::test::BinDir() + L"\\dlmemb64.dll").c_str()));
  if (module_) {
    install_ = reinterpret_cast<HookExport>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), "InstallMainHooks")));
    uninstall_ =
        reinterpret_cast<HookExport>(reinterpret_cast<void*>(::GetProcAddress(module_.get(), "UninstallMainHooks")));
  }
}

EntryStateQuery::EntryStateQuery() : class_(L"DlEntryStateAnswer", &EntryStateQuery::Proc) {
  service_ = platform::ServiceMessage();
  window_.reset(::CreateWindowExW(0, class_.name(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, dl::test::Instance(),
                                  nullptr));
}

std::optional<unsigned> EntryStateQuery::Ask(const ProbeProcess& probe) {
  answer_.reset();
  probe.Post(service_, kSvcDebugEntryStateQuery, reinterpret_cast<LPARAM>(window_.get()));
  const DWORD pid = probe.processId();
  if (!PumpUntil([&] { return answer_ && EntryStateReplyProcess(*answer_) == pid; }, kProbeWait))
    return std::nullopt;
  return EntryStateReplyBits(*answer_);
}

LRESULT CALLBACK EntryStateQuery::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == service_ && wParam == kSvcDebugEntryStateReply) {
    answer_ = lParam;
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

}  // namespace dl::entry::test
