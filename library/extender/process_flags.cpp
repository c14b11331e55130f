#include "library/extender/process_flags.h"

#include <vector>

namespace dl::extender {
namespace {
using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

OsVersionFlags QueryOsFlags() noexcept {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  // GetVersionEx lies to programs without a compatibility manifest; the kernel does not.
  auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (!rtlGetVersion || rtlGetVersion(&info) != 0) return {};
  return OsFlagsFromVersion(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
}

std::wstring ModulePath(HMODULE module) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

ExecutableIdentity QueryExecutable() {
  ExecutableIdentity id;
  // The module's own file name is exact; the command line may hold a relative or
  // extension-less name, so it is only the fallback.
  std::wstring path = ModulePath(nullptr);
  if (path.empty()) path = FirstCommandLineParameter(::GetCommandLineW());
  id.path = ApplyLongPathRule(std::move(path));
  id.name = std::wstring(FileNameOf(id.path));
  id.lowerPath = ToLowerSystem(id.path);
  id.lowerName = ToLowerSystem(id.name);
  return id;
}
}  // namespace

const OsVersionFlags& OsFlags() noexcept {
  static const OsVersionFlags flags = QueryOsFlags();
  return flags;
}

std::wstring ToLowerSystem(std::wstring text) {
  if (!text.empty()) ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring ApplyLongPathRule(std::wstring path) {
  if (!WantsLongPathName(path)) return path;
  const DWORD needed = ::GetLongPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::wstring longPath(needed, L'\0');
  const DWORD n = ::GetLongPathNameW(path.c_str(), longPath.data(), needed);
  if (n == 0 || n >= needed) return path;
  longPath.resize(n);
  return longPath;
}

const ExecutableIdentity& Executable() noexcept {
  static const ExecutableIdentity identity = [] {
    try {
      return QueryExecutable();
    } catch (...) {
      return ExecutableIdentity{};
    }
  }();
  return identity;
}

FileVersion ReadFileVersion(const std::wstring& path) {
  FileVersion result;
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return result;
  std::vector<unsigned char> data(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return result;

  void* block = nullptr;
  UINT blockSize = 0;
  if (::VerQueryValueW(data.data(), L"\\", &block, &blockSize) && blockSize >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    result.valid = true;
    result.major = HIWORD(fixed->dwFileVersionMS);
    result.minor = LOWORD(fixed->dwFileVersionMS);
    result.release = HIWORD(fixed->dwFileVersionLS);
    result.build = LOWORD(fixed->dwFileVersionLS);
  }

  struct Translation {
    WORD language;
    WORD codePage;
  };
  if (::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &block, &blockSize) &&
      blockSize >= sizeof(Translation)) {
    const auto* first = static_cast<const Translation*>(block);
    wchar_t key[64];
    ::wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileDescription", first->language, first->codePage);
    if (::VerQueryValueW(data.data(), key, &block, &blockSize) && blockSize > 0) {
      // The length includes the terminating zero on some systems and not on others.
      std::wstring_view text(static_cast<const wchar_t*>(block), blockSize);
      if (auto zero = text.find(L'\0'); zero != std::wstring_view::npos) text = text.substr(0, zero);
      result.description = TrimSpacesAndTabs(text);
    }
  }
  return result;
}

const FileVersion& ExecutableVersion() noexcept {
  static const FileVersion version = [] {
    try {
      return ReadFileVersion(Executable().path);
    } catch (...) {
      return FileVersion{};
    }
  }();
  return version;
}

const ProcessFlags& CurrentProcessFlags() noexcept {
  static const ProcessFlags flags = [] {
    try {
      const ExecutableIdentity& exe = Executable();
      return ComputeProcessFlags(OsFlags(), exe.lowerName, exe.lowerPath,
                                 ::GetModuleHandleW(L"mso.dll") != nullptr);
    } catch (...) {
      return ProcessFlags{};
    }
  }();
  return flags;
}

}  // namespace dl::extender
