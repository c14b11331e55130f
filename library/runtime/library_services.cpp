#include "library/runtime/library_services.h"
#include "platform/callback_guard.h"

namespace dl::entry {
namespace {
constinit LibraryServices g_services{};

void UnhookEndingThread() noexcept {
  try {
    if (auto* list = g_services.threadHookList.load(std::memory_order_acquire))
      list->UnhookThread(::GetCurrentThreadId());
  } catch (...) {
    platform::RecordCallbackFailure("library_services: UnhookEndingThread");
  }
}
}  // namespace

LibraryServices& Services() noexcept { return g_services; }

void InstallThreadDetachRoutine() noexcept {
  g_services.threadDetachRoutine.store(&UnhookEndingThread, std::memory_order_release);
}
void RemoveThreadDetachRoutine() noexcept {
  g_services.threadDetachRoutine.store(nullptr, std::memory_order_release);
}

}  // namespace dl::entry
