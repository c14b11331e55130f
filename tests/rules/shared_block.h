#pragma once
// A named mapping filled with given bytes, as the main program creates its blocks.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace dl::test {

class SharedBlock {
 public:
  SharedBlock(const std::wstring& name, const std::vector<std::uint8_t>& bytes, std::size_t mappingSize = 0) {
    const std::size_t size = mappingSize ? mappingSize : bytes.size();
    mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        static_cast<DWORD>(size), name.c_str()));
    if (!mapping_) return;
    platform::UniqueView view(::MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, size));
    if (view) std::memcpy(view.get(), bytes.data(), bytes.size() < size ? bytes.size() : size);
  }
  [[nodiscard]] bool Created() const { return static_cast<bool>(mapping_); }

 private:
  platform::UniqueHandle mapping_;
};

}  // namespace dl::test
