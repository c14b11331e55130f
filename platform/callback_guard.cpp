#include "platform/callback_guard.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace dl::platform {
namespace {
constinit std::atomic<const char*> g_firstFailure{nullptr};
}  // namespace

void RecordCallbackFailure(const char* where) noexcept {
  if (!where) where = "?";
  const char* none = nullptr;
  if (!g_firstFailure.compare_exchange_strong(none, where)) return;
  const DWORD lastError = ::GetLastError();  // the application's, not ours to change
  char line[160];
  std::snprintf(line, sizeof line, "[dlm] a callback failed and was stopped at its boundary: %s\n", where);
  ::OutputDebugStringA(line);
  ::SetLastError(lastError);
}

const char* FirstCallbackFailure() noexcept { return g_firstFailure.load(); }

}  // namespace dl::platform
