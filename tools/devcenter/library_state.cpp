#include "tools/devcenter/library_state.h"

#include <algorithm>

#include "protocol/entry_state.h"
#include "protocol/service_codes.h"

namespace dl::devcenter {
namespace {

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindVisibleWindowOf(HWND wnd, LPARAM param) noexcept {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(wnd, &owner);
  if (owner != search->processId || !::IsWindowVisible(wnd)) return TRUE;
  search->found = wnd;
  return FALSE;
}

// The answer to a query, if one from `processId` is among the window's service calls.
std::optional<unsigned> AnswerFrom(const ReadyWindow& window, DWORD processId) {
  for (const ServiceCall& call : window.Calls()) {
    if (call.code != protocol::kSvcDebugEntryStateReply) continue;
    if (protocol::EntryStateReplyProcess(call.argument) == processId) return protocol::EntryStateReplyBits(call.argument);
  }
  return std::nullopt;
}

}  // namespace

bool RequestDiagnosticRequest(DWORD processId, UINT serviceMessage, std::uint32_t commandCode) {
  WindowSearch search{processId, nullptr};
  ::EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
  return search.found &&
         ::PostMessageW(search.found, serviceMessage, protocol::kSvcDebugLinkRequest, static_cast<LPARAM>(commandCode));
}

std::optional<unsigned> QueryLibraryState(DWORD processId, ReadyWindow& window, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  std::optional<unsigned> answer;
  // The library answers from the get-message hook of the window's thread; the application's
  // window may not exist yet, so look again until the deadline.
  while (!(answer = AnswerFrom(window, processId))) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) break;
    WindowSearch search{processId, nullptr};
    ::EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
    if (search.found)
      ::PostMessageW(search.found, window.ServiceMessage(), protocol::kSvcDebugEntryStateQuery,
                     reinterpret_cast<LPARAM>(window.Handle()));
    const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 250));
    window.WaitPumping({}, slice, [&] { return AnswerFrom(window, processId).has_value(); });
  }
  return answer;
}

}  // namespace dl::devcenter
