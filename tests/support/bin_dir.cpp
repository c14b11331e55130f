#include "tests/support/bin_dir.h"

#include <windows.h>

#include <cstdlib>

namespace dl::test {

std::wstring WinePath(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* p = unixPath; *p; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return path;
}

std::wstring BinDir() {
  const wchar_t* dir = _wgetenv(L"DL_BIN_DIR");
  if (dir && *dir) {
    std::wstring path = dir;
    if (path[0] == L'/') {
      for (auto& c : path)
        if (c == L'/') c = L'\\';
      path = L"Z:" + path;
    }
    return path;
  }
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L"\\/"));
}

}  // namespace dl::test
