#include "platform/config_folder.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <optional>

#include "protocol/product_names.h"
#include "platform/no_destructor.h"
#include "platform/registry_value.h"

namespace dl::platform {
namespace {
bool IsDirectory(const std::wstring& path) {
  DWORD attrs = ::GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WithDelimiter(std::wstring path) {
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path;
}

// Full access for everyone, inherited by subfolders and files, as a protected list.
void OpenUpToEveryone(const std::wstring& folder) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;CIOI;GA;;;WD)", SDDL_REVISION_1, &sd, nullptr))
    return;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (::GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) && present) {
    ::SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                            nullptr);
  }
  ::LocalFree(sd);
}

// <known folder>\Quillon\Deskloom\, created if missing; empty when unusable.
std::wstring ProductFolderUnder(int csidl, bool shareWithEveryone) {
  wchar_t base[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, base)) || !IsDirectory(base)) return {};
  std::wstring folder = WithDelimiter(base);
  for (const wchar_t* part : {L"Quillon", L"Deskloom"}) {
    folder += part;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    if (!IsDirectory(folder)) return {};
    if (shareWithEveryone) OpenUpToEveryone(folder);
    folder += L'\\';
  }
  return folder;
}

std::wstring TempFolder() {
  std::wstring path(MAX_PATH + 1, L'\0');
  DWORD n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  if (n > path.size()) {
    path.resize(n);
    n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  }
  if (n == 0 || n > path.size()) return {};
  path.resize(n);
  return path;
}

const std::wstring& SharedFolder() {
  // Computed once per run, so each folder is given its list at most once.
  static const NoDestructor<std::wstring> folder(ProductFolderUnder(CSIDL_COMMON_APPDATA, true));
  return *folder;
}
}  // namespace

std::wstring ResolveConfigFolder(const std::wstring& location) {
  std::wstring folder = ProductFolderUnder(CSIDL_APPDATA, false);
  if (location == L"1") {
    folder.clear();
  } else if (location == L"2") {
    folder = SharedFolder();
  } else if (location != L"3" && !location.empty() && IsDirectory(location)) {
    folder = WithDelimiter(location);
  }
  if (folder.empty() || !IsDirectory(folder)) return {};
  return folder;
}

std::wstring LookUpConfigFolder() {
  std::optional<std::wstring> location = ReadRegistryString(HKEY_CURRENT_USER, protocol::kProductKey, L"ConfigFilesLocation");
  if (!location) location = ReadRegistryString(HKEY_LOCAL_MACHINE, protocol::kProductKey, L"ConfigFilesLocation");
  return ResolveConfigFolder(location.value_or(L"3"));
}

std::wstring EventLogPath(const std::wstring& configFolder) {
  if (!configFolder.empty()) return configFolder + protocol::kEventLogFileName;
  return TempFolder() + protocol::kInitErrorLogFileName;
}

}  // namespace dl::platform
