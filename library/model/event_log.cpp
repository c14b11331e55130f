#include "library/model/event_log.h"

#include <atomic>
#include <thread>

#include "library/model/system_seam.h"

namespace dl::model {
namespace {
// Constant-initialised state only: the library image has no dynamic globals.
constinit std::atomic<bool> g_enabled{false};
// A spin lock guards only a pointer copy and an AddRef; std::mutex has no
// constant initialisation with every runtime we build for.
constinit std::atomic_flag g_sink_lock;
constinit IEventLogSink* g_sink = nullptr;

class SinkLock {
 public:
  SinkLock() noexcept {
    while (g_sink_lock.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  ~SinkLock() { g_sink_lock.clear(std::memory_order_release); }
  SinkLock(const SinkLock&) = delete;
  SinkLock& operator=(const SinkLock&) = delete;
};

void AppendHex8(std::wstring& out, std::uint32_t v) {
  constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(v >> shift) & 0xF];
}

RefPtr<IEventLogSink> CurrentSink() {
  SinkLock lock;
  return RefPtr<IEventLogSink>(g_sink);
}
}  // namespace

bool EventLogEnabled() noexcept { return g_enabled.load(std::memory_order_relaxed); }
void SetEventLogEnabled(bool enabled) noexcept { g_enabled.store(enabled, std::memory_order_relaxed); }

void SetEventLogSink(IEventLogSink* sink) noexcept {
  if (sink) sink->AddRef();
  IEventLogSink* old = nullptr;
  {
    SinkLock lock;
    old = g_sink;
    g_sink = sink;
  }
  // Released outside the lock: the sink's destructor may log.
  if (old) old->Release();
}

std::wstring FormatEventLogLine(std::wstring_view text) {
  std::wstring line;
  line.reserve(18 + text.size());
  AppendHex8(line, CurrentProcessId());
  line += L';';
  AppendHex8(line, CurrentThreadId());
  line += L';';
  line += text;
  return line;
}

void WriteEventLog(std::wstring_view text) noexcept {
  if (!EventLogEnabled()) return;
  try {
    const RefPtr<IEventLogSink> sink = CurrentSink();
    if (!sink) return;
    sink->SendCommand(kEventLoggerReceiver, kEventLogCommand, FormatEventLogLine(text));
  } catch (...) {
    // Logging is best effort.
  }
}

}  // namespace dl::model
