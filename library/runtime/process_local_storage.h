#pragma once
// Per-process state that outlives any one copy of the library: a named 40-byte mapping
// holding the addresses of the busy counter, the hook record, the stub page and the
// trampoline pool state. Created by the first copy, never closed, never freed.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "library/runtime/hook_record.h"

namespace dl::entry {

// "Local\{...}_EALocalStorageV8147_" + the process id as 8 upper-case hex digits.
std::wstring ProcessLocalStorageName(DWORD processId);

class ProcessLocalStorage {
 public:
  // The process's storage as this copy sees it; opened on first use.
  static ProcessLocalStorage& Instance() noexcept;

  // Opens the mapping, or creates it with fresh blocks. Safe to call again.
  bool Open() noexcept;
  [[nodiscard]] bool IsOpen() const noexcept { return record_ != nullptr; }

  [[nodiscard]] volatile LONG* BusyCounter() const noexcept { return counter_; }
  [[nodiscard]] HookRecord* Record() const noexcept { return record_; }
  [[nodiscard]] unsigned char* StubPage() const noexcept { return stubPage_; }
  // True when this copy created the mapping (the first copy in the process).
  [[nodiscard]] bool CreatedByThisCopy() const noexcept { return created_; }

  // The address of the trampoline pool state that every copy in the process works on. Stores
  // candidate when no copy has stored one yet (atomically, so two copies cannot both succeed)
  // and returns the address that is in place afterwards; 0 when the storage cannot be had.
  // A candidate of 0 only reads.
  std::uint64_t PublishTrampolinePool(std::uint64_t candidate) const noexcept;

 private:
  ProcessLocalStorage() = default;
  bool Map(HANDLE mapping, bool initialise) noexcept;

  volatile LONG* counter_ = nullptr;
  HookRecord* record_ = nullptr;
  unsigned char* stubPage_ = nullptr;
  bool created_ = false;
  std::uint64_t trampolinePool_ = 0;
};

// Room for the trampoline pool's state, which the creating copy allocates with the other blocks.
inline constexpr std::size_t kTrampolinePoolStateSize = 64;

// The busy counter: hook calls in progress, live extenders, cross-thread requests in
// flight and library-holding threads. Falls back to a counter of this copy when the
// storage could not be opened.
LONG StorageCountIn() noexcept;
LONG StorageCountOut() noexcept;
LONG StorageBusyCount() noexcept;

// Counts in for its lifetime.
class StorageBusyScope {
 public:
  StorageBusyScope() noexcept { StorageCountIn(); }
  StorageBusyScope(const StorageBusyScope&) = delete;
  StorageBusyScope& operator=(const StorageBusyScope&) = delete;
  ~StorageBusyScope() { StorageCountOut(); }
};

}  // namespace dl::entry
