#include "library/rules/unanswering_threads.h"

#include <algorithm>

#include "library/extender/classification_rules.h"

namespace dl::rules {
namespace {
bool Has(const std::vector<DWORD>& list, DWORD id) { return std::find(list.begin(), list.end(), id) != list.end(); }
}  // namespace

unsigned UnansweringThreads::CaptionTimeoutFor(HWND wnd) {
  const DWORD thread = ::GetWindowThreadProcessId(wnd, nullptr);
  if (thread == 0 || thread == ::GetCurrentThreadId() || Has(answered_, thread)) return extender::kCaptionTimeoutMs;
  if (Has(silent_, thread)) return 0;
  DWORD_PTR ignored = 0;
  const bool answers = ::SendMessageTimeoutW(wnd, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                                             extender::kCaptionTimeoutMs, &ignored) != 0;
  (answers ? answered_ : silent_).push_back(thread);
  return answers ? extender::kCaptionTimeoutMs : 0;
}

}  // namespace dl::rules
