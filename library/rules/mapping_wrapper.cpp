#include "library/rules/mapping_wrapper.h"

#include <cstring>

#include "protocol/rule_block_layout.h"

namespace dl::rules {
namespace {
namespace rb = protocol::rule_block;

// The bytes that are really readable from `base` on: at most `wanted`.
std::size_t ReadableSize(const void* base, std::size_t wanted) noexcept {
  MEMORY_BASIC_INFORMATION info{};
  if (!::VirtualQuery(base, &info, sizeof info)) return 0;
  return info.RegionSize < wanted ? info.RegionSize : wanted;
}
}  // namespace

TMappingWrapper::TMappingWrapper(const wchar_t* name, std::size_t size) noexcept {
  platform::LastErrorGuard keepError;
  FMapping.reset(::OpenFileMappingW(FILE_MAP_READ, FALSE, name));
  if (FMapping && !Map(size)) FMapping.reset();
}

TMappingWrapper::TMappingWrapper(std::uint32_t id) noexcept {
  platform::LastErrorGuard keepError;
  try {
    FMapping.reset(::OpenFileMappingW(FILE_MAP_READ, FALSE, rb::MappingName(id).c_str()));
  } catch (...) {
    return;
  }
  if (!FMapping || !Map(rb::kFirstRecordOffset)) {
    FMapping.reset();
    return;
  }
  std::uint32_t total = 0;
  std::memcpy(&total, FPointer.get(), sizeof total);
  FPointer.reset();
  viewSize_ = 0;
  // A size larger than the mapping fails to map; a size 0 is no block.
  if (total == 0 || !Map(total) || viewSize_ < total) {
    FPointer.reset();
    FMapping.reset();
    viewSize_ = 0;
    return;
  }
  FId = id;
}

bool TMappingWrapper::Map(std::size_t size) noexcept {
  void* view = ::MapViewOfFile(FMapping.get(), FILE_MAP_READ, 0, 0, size);
  if (!view) return false;
  FPointer.reset(view);
  viewSize_ = ReadableSize(view, size);
  return viewSize_ > 0;
}

const void* TMappingWrapper::GetPointer() const noexcept {
  if (!FPointer) return nullptr;
  return FId ? static_cast<const std::uint8_t*>(FPointer.get()) + rb::kFirstRecordOffset : FPointer.get();
}

void* TMappingWrapper::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IMappingWrapper::kIid) return static_cast<IMappingWrapper*>(this);
  return TInterfacedObject::FindInterface(iid);
}

}  // namespace dl::rules
