#include "library/entry/noninvasive_records.h"

#include <utility>

#include "library/runtime/handed_out_list.h"

namespace dl::entry {

struct SavedRecord {
  TMessageRecord record;
  bool handled = false;
  SavedRecord* prev = nullptr;
  SavedRecord* next = nullptr;
};

namespace {
constinit HandedOutList<SavedRecord> g_records;
}  // namespace

SavedRecord* SaveRecord(const TMessageRecord& record, bool handled) {
  auto* saved = new SavedRecord{record, handled, nullptr, nullptr};
  g_records.Add(saved);
  return saved;
}

SavedRecord* TakeRecord(LPARAM value) noexcept { return g_records.Take(value); }

void FreeRecord(SavedRecord* saved) noexcept { delete saved; }
TMessageRecord& RecordOf(SavedRecord* saved) noexcept { return saved->record; }
bool HandledFlagOf(const SavedRecord* saved) noexcept { return saved->handled; }

void FreeAllRecords() noexcept {
  SavedRecord* list = g_records.TakeAll();
  while (list) delete std::exchange(list, list->next);
}

}  // namespace dl::entry
