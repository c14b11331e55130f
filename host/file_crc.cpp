#include "host/file_crc.h"

#include <windows.h>

#include "library/model/crc32.h"
#include "platform/handles.h"

namespace dl::host {

std::uint32_t FileCrc32(const std::wstring& path) noexcept {
  platform::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 0;
  std::uint32_t crc = 0;
  unsigned char block[4096];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), block, sizeof(block), &got, nullptr) || got == 0) break;
    crc = model::Crc32(block, got, crc);
  }
  return crc;
}

}  // namespace dl::host
