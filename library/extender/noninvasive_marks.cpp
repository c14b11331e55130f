#include "library/extender/noninvasive_marks.h"

#include <array>
#include <atomic>

namespace dl::extender {
namespace {

// Non-invasive following is for a handful of application suites: a few windows per process.
// Past the table's size every window counts as possibly marked, which is slower but right.
constexpr std::size_t kSlots = 64;
constinit std::array<std::atomic<HWND>, kSlots> g_marked{};
constinit std::atomic<std::size_t> g_used{0};
constinit std::atomic<bool> g_overflow{false};

bool InTable(HWND wnd) noexcept {
  const std::size_t used = g_used.load(std::memory_order_acquire);
  for (std::size_t i = 0; i < used && i < kSlots; ++i)
    if (g_marked[i].load(std::memory_order_relaxed) == wnd) return true;
  return false;
}

}  // namespace

void MarkNoninvasive(HWND wnd, ATOM property) noexcept {
  if (!wnd || !property) return;
  // Listed before the property is set: a hook that sees the property finds the window listed.
  // Marking runs on the windows' own threads, so two threads may race for a free slot.
  if (!InTable(wnd)) {
    std::size_t i = 0;
    for (; i < kSlots; ++i) {
      HWND expected = nullptr;
      if (g_marked[i].compare_exchange_strong(expected, wnd, std::memory_order_relaxed)) break;
    }
    if (i < kSlots) {
      std::size_t used = g_used.load(std::memory_order_relaxed);
      while (used < i + 1 && !g_used.compare_exchange_weak(used, i + 1, std::memory_order_release)) {
      }
    } else {
      g_overflow.store(true, std::memory_order_release);
    }
  }
  ::SetPropW(wnd, MAKEINTATOM(property), reinterpret_cast<HANDLE>(1));
}

void ForgetNoninvasive(HWND wnd) noexcept {
  if (!wnd) return;
  const std::size_t used = g_used.load(std::memory_order_acquire);
  for (std::size_t i = 0; i < used && i < kSlots; ++i) {
    HWND expected = wnd;
    g_marked[i].compare_exchange_strong(expected, nullptr, std::memory_order_relaxed);
  }
}

bool MayBeMarkedNoninvasive(HWND wnd) noexcept {
  if (!wnd) return false;
  if (g_overflow.load(std::memory_order_acquire)) return true;
  return InTable(wnd);
}

bool IsMarkedNoninvasive(HWND wnd, ATOM property) noexcept {
  return property && MayBeMarkedNoninvasive(wnd) && ::GetPropW(wnd, MAKEINTATOM(property)) != nullptr;
}

}  // namespace dl::extender
