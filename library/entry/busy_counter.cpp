#include "library/entry/busy_counter.h"

#include <atomic>

namespace dl::entry {
namespace {
constinit std::atomic<long> g_busy{0};
}

long CountIn() noexcept { return g_busy.fetch_add(1, std::memory_order_acq_rel) + 1; }
long CountOut() noexcept { return g_busy.fetch_sub(1, std::memory_order_acq_rel) - 1; }
long BusyCount() noexcept { return g_busy.load(std::memory_order_acquire); }

}  // namespace dl::entry
