#pragma once
// The platform version, the executable's identity and the process flags of the
// current process, each computed once and then read without locks.
#include <windows.h>

#include <cstdint>
#include <string>

#include "library/extender/process_flags_rules.h"

namespace dl::extender {

[[nodiscard]] const OsVersionFlags& OsFlags() noexcept;

struct ExecutableIdentity {
  std::wstring path;  // full path (long form)
  std::wstring name;  // file name
  std::wstring lowerPath;
  std::wstring lowerName;
};
[[nodiscard]] const ExecutableIdentity& Executable() noexcept;

struct FileVersion {
  bool valid = false;
  std::uint16_t major = 0, minor = 0, release = 0, build = 0;
  std::wstring description;  // "FileDescription" of the first translation, trimmed
};
[[nodiscard]] FileVersion ReadFileVersion(const std::wstring& path);
[[nodiscard]] const FileVersion& ExecutableVersion() noexcept;

// Computed on first use; library initialisation calls it so that this happens early.
[[nodiscard]] const ProcessFlags& CurrentProcessFlags() noexcept;

// Lower case by the system's rules (not just ASCII).
[[nodiscard]] std::wstring ToLowerSystem(std::wstring text);
// The long form of a path when the long-path rule applies and the system can give it.
[[nodiscard]] std::wstring ApplyLongPathRule(std::wstring path);

}  // namespace dl::extender
