#include "platform/process_modules.h"

#include <psapi.h>

namespace dl::platform {

std::vector<DWORD> ListProcessIds() {
  std::vector<DWORD> ids(1024);
  for (;;) {
    DWORD bytes = 0;
    const auto capacity = static_cast<DWORD>(ids.size() * sizeof(DWORD));
    if (!::EnumProcesses(ids.data(), capacity, &bytes)) return {};
    // A full buffer may mean the list was cut off: ask again with more room.
    if (bytes < capacity) {
      ids.resize(bytes / sizeof(DWORD));
      return ids;
    }
    ids.resize(ids.size() * 2);
  }
}

std::wstring ExecutableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);  // the name was cut off
  }
  auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::optional<std::wstring> ModulePath(HANDLE process, HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameExW(process, module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::nullopt;
    // A result that fills the buffer may be truncated.
    if (n < path.size() - 1) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return std::nullopt;
    path.resize(path.size() * 2);
  }
}

std::vector<std::wstring> ListModulePaths(HANDLE process) {
  std::vector<HMODULE> modules(1024);
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD needed = 0;
    const auto capacity = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
    if (!::EnumProcessModules(process, modules.data(), capacity, &needed)) return {};
    if (needed <= capacity) {
      modules.resize(needed / sizeof(HMODULE));
      std::vector<std::wstring> paths;
      paths.reserve(modules.size());
      for (HMODULE m : modules)
        if (auto p = ModulePath(process, m)) paths.push_back(std::move(*p));
      return paths;
    }
    // The process loaded more modules than we had room for: grow and list again.
    modules.resize(needed / sizeof(HMODULE) + 64);
  }
  return {};
}

std::wstring FileNamePart(const std::wstring& path) {
  auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) noexcept {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace dl::platform
