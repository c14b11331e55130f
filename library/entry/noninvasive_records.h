#pragma once
// Message records that the get-message hook saves for a window extended without
// subclassing: BeforeMessage runs when the message leaves the queue, AfterMessage when
// the posted copy comes back after the application has dispatched the original.
// The copy's address travels in a posted message, so it is only ever accepted back if
// this library copy handed it out: a foreign sender cannot make us read or free memory.
#include "library/runtime/library_services.h"

namespace dl::entry {

struct SavedRecord;

// Saves a copy of the record with the handled flag; the result goes into lParam.
SavedRecord* SaveRecord(const TMessageRecord& record, bool handled);
// Takes back a record handed out by SaveRecord; nullptr for any other value.
SavedRecord* TakeRecord(LPARAM value) noexcept;
void FreeRecord(SavedRecord* saved) noexcept;
TMessageRecord& RecordOf(SavedRecord* saved) noexcept;
bool HandledFlagOf(const SavedRecord* saved) noexcept;
// Frees every record not yet taken back (library leaving a live process).
void FreeAllRecords() noexcept;

}  // namespace dl::entry
