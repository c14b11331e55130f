#include "host/library_placement.h"

#include <windows.h>

#include "host/file_crc.h"
#include "protocol/product_names.h"

namespace dl::host {
namespace {
bool FileExists(const std::wstring& path) {
  DWORD attrs = ::GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

std::wstring TempLibraryPath() {
  const std::wstring pattern = std::wstring(L"%temp%\\") + protocol::kLibraryFileName;
  std::wstring out(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD n = ::ExpandEnvironmentStringsW(pattern.c_str(), out.data(), static_cast<DWORD>(out.size()));
    if (n == 0) return {};
    if (n <= out.size()) {
      out.resize(n - 1);  // n counts the terminator
      // An unset variable stays unexpanded: that is no temporary folder at all.
      return out.find(L'%') == std::wstring::npos ? out : std::wstring();
    }
    out.resize(n);
  }
  return {};
}

Placement PlaceLibrary(const std::wstring& ownPath, bool useTempCopy, const std::wstring& tempPath) {
  if (!useTempCopy || tempPath.empty()) return {ownPath, false};

  if (FileExists(tempPath) && FileCrc32(tempPath) != FileCrc32(ownPath)) {
    // A read-only stale copy would otherwise block every later start.
    ::SetFileAttributesW(tempPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileW(tempPath.c_str())) return {std::wstring(), true};
  }
  if (FileExists(tempPath)) return {tempPath, false};
  if (::CopyFileW(ownPath.c_str(), tempPath.c_str(), FALSE)) {
    ::SetFileAttributesW(tempPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    return {tempPath, false};
  }
  return {ownPath, false};
}

}  // namespace dl::host
