#pragma once
// Who this process is: the executable's path, the description in its version resource and the
// system's version, read once per process and shared by everything that classifies the process.
// Names are compared by one rule, LowerCaseName, so that two classifications of one process
// never disagree on a name outside ASCII.
#include <windows.h>

#include <string>
#include <string_view>

namespace dl::platform {

struct SystemVersion {
  DWORD major = 0;
  DWORD minor = 0;
  DWORD build = 0;
  [[nodiscard]] bool AtLeast(DWORD maj, DWORD min) const noexcept {
    return major > maj || (major == maj && minor >= min);
  }
};

struct ProcessIdentity {
  std::wstring path;             // the executable's full path, in long form when started by a short one
  std::wstring name;             // its file name
  std::wstring lowerPath;        // both by LowerCaseName
  std::wstring lowerName;
  std::wstring fileDescription;  // "FileDescription" of the executable's own version resource, as stored
  SystemVersion os;              // as the kernel reports it (GetVersionEx lies to unmanifested programs)
};

// Read on first use (library initialisation makes that early), then only read. Reads nothing
// from files and loads no module: safe under the loader lock.
[[nodiscard]] const ProcessIdentity& CurrentProcessIdentity() noexcept;
// The reading itself, done again on every call (tests).
[[nodiscard]] ProcessIdentity ReadProcessIdentity();

// The comparison rule for executable and module names: lower case by the system's rules
// (CharLowerBuffW), which also lowers letters outside ASCII.
[[nodiscard]] std::wstring LowerCaseName(std::wstring text);

// The long form of a path (GetLongPathNameW); the path as given when it has none.
[[nodiscard]] std::wstring LongPathName(std::wstring path);

// Whether a module of that file name is loaded in this process. Walks the loader's module list
// in memory: asking the loader by name (GetModuleHandleW) searches the file system for every
// module that is not there, which costs about a millisecond each under Wine.
[[nodiscard]] bool IsModuleLoaded(std::wstring_view fileName) noexcept;

}  // namespace dl::platform
