#include "library/runtime/process_local_storage.h"

#include <cstdio>

#include "platform/handles.h"
#include "protocol/object_names.h"

namespace dl::entry {
namespace {

using platform::UniqueHandle;
using platform::UniqueView;

// Used only when the storage cannot be had; then this copy counts on its own.
volatile LONG g_localCounter = 0;

volatile LONG* CounterAddress() noexcept {
  volatile LONG* counter = ProcessLocalStorage::Instance().BusyCounter();
  return counter ? counter : &g_localCounter;
}

UniqueView MapRecord(HANDLE mapping) noexcept {
  return UniqueView(::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(StorageRecord)));
}

UniqueHandle OpenExisting() noexcept {
  const std::wstring name = ProcessLocalStorageName(::GetCurrentProcessId());
  return UniqueHandle(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str()));
}

}  // namespace

std::wstring ProcessLocalStorageName(DWORD processId) {
  wchar_t digits[9];
  std::swprintf(digits, 9, L"%08X", static_cast<unsigned>(processId));
  return std::wstring(protocol::kLocalStoragePrefix) + digits;
}

ProcessLocalStorage& ProcessLocalStorage::Instance() noexcept {
  // Trivially destructible and constant-initialised: nothing runs at unload.
  static ProcessLocalStorage instance;
  return instance;
}

bool ProcessLocalStorage::Map(HANDLE mapping, bool initialise) noexcept {
  UniqueView view = MapRecord(mapping);
  if (!view) return false;
  auto* rec = static_cast<StorageRecord*>(view.get());
  if (initialise) {
    auto* counter = static_cast<LONG*>(::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 8));
    auto* record = static_cast<HookRecord*>(::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(HookRecord)));
    auto* page = static_cast<unsigned char*>(
        ::VirtualAlloc(nullptr, kStubPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    // The trampoline pool's state is allocated here too, all zeros (an unlocked lock and empty
    // lists), so that no copy has to map the record again to publish it.
    void* pool = ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, kTrampolinePoolStateSize);
    if (!counter || !record || !page || !pool) {
      if (counter) ::GlobalFree(counter);
      if (record) ::GlobalFree(record);
      if (page) ::VirtualFree(page, 0, MEM_RELEASE);
      if (pool) ::GlobalFree(pool);
      return false;
    }
    rec->busyCounter = reinterpret_cast<std::uint64_t>(counter);
    rec->hookRecord = reinterpret_cast<std::uint64_t>(record);
    rec->stubPage = reinterpret_cast<std::uint64_t>(page);
    rec->trampolinePool = reinterpret_cast<std::uint64_t>(pool);
    rec->reserved = 0;
  }
  counter_ = reinterpret_cast<volatile LONG*>(rec->busyCounter);
  record_ = reinterpret_cast<HookRecord*>(rec->hookRecord);
  stubPage_ = reinterpret_cast<unsigned char*>(rec->stubPage);
  trampolinePool_ = rec->trampolinePool;
  return record_ != nullptr;
}

bool ProcessLocalStorage::Open() noexcept {
  if (record_) return true;
  if (UniqueHandle existing = OpenExisting()) return Map(existing.get(), false);

  const std::wstring name = ProcessLocalStorageName(::GetCurrentProcessId());
  HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(StorageRecord), name.c_str());
  if (!mapping) return false;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    // Another copy won the race: use its blocks.
    UniqueHandle other(mapping);
    return Map(other.get(), false);
  }
  if (!Map(mapping, true)) {
    ::CloseHandle(mapping);
    return false;
  }
  // Deliberately never closed: the name must stay valid for every later copy.
  created_ = true;
  return true;
}

std::uint64_t ProcessLocalStorage::PublishTrampolinePool(std::uint64_t candidate) const noexcept {
  // Known since the record was read: nothing to map.
  if (trampolinePool_) return trampolinePool_;
  UniqueHandle mapping = OpenExisting();
  if (!mapping) return 0;
  UniqueView view = MapRecord(mapping.get());
  if (!view) return 0;
  auto* field = reinterpret_cast<volatile LONG64*>(&static_cast<StorageRecord*>(view.get())->trampolinePool);
  const auto before = static_cast<std::uint64_t>(
      ::InterlockedCompareExchange64(field, static_cast<LONG64>(candidate), 0));
  return before ? before : candidate;
}

LONG StorageCountIn() noexcept { return ::InterlockedIncrement(CounterAddress()); }
LONG StorageCountOut() noexcept { return ::InterlockedDecrement(CounterAddress()); }
LONG StorageBusyCount() noexcept { return *CounterAddress(); }

}  // namespace dl::entry
