#pragma once
// The three flags that decide how much the library does in a process, computed once
// at library initialisation from the executable's name, version resource and modules.
#include <windows.h>

#include <string>

namespace dl::entry {

struct OsVersion {
  DWORD major = 0;
  DWORD minor = 0;
  [[nodiscard]] bool AtLeast(DWORD maj, DWORD min) const noexcept {
    return major > maj || (major == maj && minor >= min);
  }
};

// What the gate looks at; gathered from the system by ReadGateInputs.
struct GateInputs {
  OsVersion os;
  std::wstring exeName;          // lower-case file name of the executable
  std::wstring fileDescription;  // "FileDescription" of the executable's version resource
  bool fixVersionDllLoaded = false;  // module "FixVersionDll.dll"
  bool nview64Loaded = false;        // module "nview64.dll"
};

struct GateFlags {
  bool inert = false;             // no application; hook procedures pass every call on
  bool reducedHook = false;       // no per-thread window-procedure hooks in this process
  bool shellViewCompat = false;   // shell views are handled by a posted command
  bool hasConsole = false;        // GetConsoleWindow answered a window
  bool dopusRuntime = false;      // "dopusrt.exe": desktop double clicks are handled
};

[[nodiscard]] GateFlags ComputeGateFlags(const GateInputs& in);

OsVersion ReadOsVersion() noexcept;
// Reads the inputs without loading anything: safe under the loader lock.
GateInputs ReadGateInputs();

// The process's flags, set once by library initialisation.
void SetProcessGate(const GateFlags& flags, const OsVersion& os) noexcept;
const GateFlags& ProcessGate() noexcept;
const OsVersion& ProcessOsVersion() noexcept;

}  // namespace dl::entry
