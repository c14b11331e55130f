#pragma once
// Platform versions and process classifications as plain values, derived from the
// version numbers and the executable's identity. No <windows.h>.
#include <cstdint>
#include <string>
#include <string_view>

namespace dl::extender {

struct OsVersionFlags {
  bool vistaOrLater = false;
  bool win7OrLater = false;
  bool win8OrLater = false;
  bool win81OrLater = false;
  bool win10OrLater = false;  // also for the 6.4 numbering of early Windows 10 builds
  std::uint32_t build = 0;
};

[[nodiscard]] OsVersionFlags OsFlagsFromVersion(std::uint32_t major, std::uint32_t minor,
                                                std::uint32_t build) noexcept;

// Classifications of the current process, each exact on the lower-case file name
// unless noted.
struct ProcessFlags {
  bool consoleHost = false;
  bool visualStudio = false;
  bool shell = false;
  bool desktopWindowManager = false;
  bool mediaCenter = false;
  bool foxitReader = false;
  bool mindManager = false;
  bool outlook = false;
  bool office = false;  // "mso.dll" is loaded
  bool frameHost = false;
  bool shellExperienceHost = false;
  bool slack = false;
  bool pluginContainer = false;
  bool kingsoftOffice = false;
  bool pokerClient = false;
  bool maxqda = false;
  bool directoryOpusRuntime = false;

  friend bool operator==(const ProcessFlags&, const ProcessFlags&) = default;
};

// lowerName and lowerPath are the executable's file name and full path in lower case.
[[nodiscard]] ProcessFlags ComputeProcessFlags(const OsVersionFlags& os, std::wstring_view lowerName,
                                               std::wstring_view lowerPath, bool officeLibraryLoaded);

// Executable identity helpers.
// The first parameter of a command line (quoted or not), trimmed of spaces and tabs.
[[nodiscard]] std::wstring FirstCommandLineParameter(std::wstring_view commandLine);
// A path whose folder part holds ":\" after its first character is a drive path
// that may be in short (8.3) form and is worth expanding to its long form.
[[nodiscard]] bool WantsLongPathName(std::wstring_view path) noexcept;
// The file name after the last "\" or "/".
[[nodiscard]] std::wstring_view FileNameOf(std::wstring_view path) noexcept;
[[nodiscard]] std::wstring TrimSpacesAndTabs(std::wstring_view text);

}  // namespace dl::extender
