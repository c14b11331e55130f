#include "library/entry/busy_counter.h"

#include "library/entry/process_local_storage.h"

namespace dl::entry {

// The counter lives in the process-local storage, shared with the stubs, the trampolines and
// every copy of the library loaded into this process.
long CountIn() noexcept { return StorageCountIn(); }
long CountOut() noexcept { return StorageCountOut(); }
long BusyCount() noexcept { return StorageBusyCount(); }

}  // namespace dl::entry
