#include "library/entry/noninvasive_records.h"

#include <utility>

#include "platform/handles.h"

namespace dl::entry {

struct SavedRecord {
  TMessageRecord record;
  bool handled = false;
  SavedRecord* prev = nullptr;
  SavedRecord* next = nullptr;
};

namespace {
// Few records are ever outstanding (one per queued message of such windows), so a list is enough.
constinit SRWLOCK g_lock = SRWLOCK_INIT;
constinit SavedRecord* g_head = nullptr;

void Unlink(SavedRecord* saved) noexcept {
  if (saved->prev) saved->prev->next = saved->next;
  else g_head = saved->next;
  if (saved->next) saved->next->prev = saved->prev;
  saved->prev = saved->next = nullptr;
}
}  // namespace

SavedRecord* SaveRecord(const TMessageRecord& record, bool handled) {
  auto* saved = new SavedRecord{record, handled, nullptr, nullptr};
  platform::ExclusiveSrwLock lock(g_lock);
  saved->next = g_head;
  if (g_head) g_head->prev = saved;
  g_head = saved;
  return saved;
}

SavedRecord* TakeRecord(LPARAM value) noexcept {
  platform::ExclusiveSrwLock lock(g_lock);
  for (SavedRecord* it = g_head; it; it = it->next) {
    if (reinterpret_cast<LPARAM>(it) == value) {
      Unlink(it);
      return it;
    }
  }
  return nullptr;
}

void FreeRecord(SavedRecord* saved) noexcept { delete saved; }
TMessageRecord& RecordOf(SavedRecord* saved) noexcept { return saved->record; }
bool HandledFlagOf(const SavedRecord* saved) noexcept { return saved->handled; }

void FreeAllRecords() noexcept {
  SavedRecord* list = nullptr;
  {
    platform::ExclusiveSrwLock lock(g_lock);
    list = std::exchange(g_head, nullptr);
  }
  while (list) delete std::exchange(list, list->next);
}

}  // namespace dl::entry
