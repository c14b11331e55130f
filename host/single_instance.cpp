#include "host/single_instance.h"

#include <cstdint>
#include <cstring>

#include "protocol/object_names.h"

namespace dl::host {
namespace {
struct StoredData {
  std::uint32_t processId;
  std::uint32_t alignment;
  std::uint64_t currentWnd;
};
static_assert(sizeof(StoredData) == 16);

// True when the marker names another process (or cannot be read, which we
// treat the same: someone else made it).
bool HeldByOther(HANDLE mapping) noexcept {
  platform::UniqueView view(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(StoredData)));
  if (!view) return true;
  StoredData data;
  std::memcpy(&data, view.get(), sizeof(data));
  return data.processId != ::GetCurrentProcessId();
}
}  // namespace

bool SingleInstance::Acquire() noexcept {
  if (mapping_) return true;
  platform::UniqueHandle existing(::OpenFileMappingW(FILE_MAP_READ, FALSE, protocol::kSingleInstanceName));
  if (existing) return !HeldByOther(existing.get());

  platform::UniqueHandle created(
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(StoredData), protocol::kSingleInstanceName));
  if (!created) return true;  // no marker to hold; run unguarded rather than not at all
  // Two hosts starting together: the one that lost the race to create sees the other's marker.
  if (::GetLastError() == ERROR_ALREADY_EXISTS) return !HeldByOther(created.get());
  {
    platform::UniqueView view(::MapViewOfFile(created.get(), FILE_MAP_WRITE, 0, 0, sizeof(StoredData)));
    if (view) {
      StoredData data{static_cast<std::uint32_t>(::GetCurrentProcessId()), 0, 0};
      std::memcpy(view.get(), &data, sizeof(data));
    }
  }
  mapping_ = std::move(created);
  return true;
}

}  // namespace dl::host
