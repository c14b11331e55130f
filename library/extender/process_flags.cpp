#include "library/extender/process_flags.h"

#include <utility>
#include <vector>

#include "platform/no_destructor.h"
#include "platform/process_identity.h"

namespace dl::extender {
namespace {
OsVersionFlags QueryOsFlags() noexcept {
  const platform::SystemVersion& os = platform::CurrentProcessIdentity().os;
  if (os.major == 0) return {};
  return OsFlagsFromVersion(os.major, os.minor, os.build);
}

// The process's one reading of its executable, shared with the process gate.
ExecutableIdentity QueryExecutable() {
  const platform::ProcessIdentity& process = platform::CurrentProcessIdentity();
  ExecutableIdentity id;
  id.path = process.path;
  id.name = process.name;
  id.lowerPath = process.lowerPath;
  id.lowerName = process.lowerName;
  return id;
}
}  // namespace

const OsVersionFlags& OsFlags() noexcept {
  static const OsVersionFlags flags = QueryOsFlags();
  return flags;
}

std::wstring ToLowerSystem(std::wstring text) { return platform::LowerCaseName(std::move(text)); }

std::wstring ApplyLongPathRule(std::wstring path) {
  if (!WantsLongPathName(path)) return path;
  return platform::LongPathName(std::move(path));
}

const ExecutableIdentity& Executable() noexcept {
  static const platform::NoDestructor<ExecutableIdentity> identity([] {
    try {
      return QueryExecutable();
    } catch (...) {
      return ExecutableIdentity{};
    }
  }());
  return *identity;
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
  static const platform::NoDestructor<FileVersion> version([] {
    try {
      return ReadFileVersion(Executable().path);
    } catch (...) {
      return FileVersion{};
    }
  }());
  return *version;
}

const ProcessFlags& CurrentProcessFlags() noexcept {
  static const ProcessFlags flags = [] {
    try {
      const ExecutableIdentity& exe = Executable();
      return ComputeProcessFlags(OsFlags(), exe.lowerName, exe.lowerPath, platform::IsModuleLoaded(L"mso.dll"));
    } catch (...) {
      return ProcessFlags{};
    }
  }();
  return flags;
}

}  // namespace dl::extender
