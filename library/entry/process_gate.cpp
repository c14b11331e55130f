#include "library/entry/process_gate.h"

#include <utility>

#include "platform/process_identity.h"

namespace dl::entry {
namespace {

constinit GateFlags g_flags{};
constinit OsVersion g_os{};

// Names compare by the one rule every classification of the process uses.
std::wstring Lower(std::wstring text) { return platform::LowerCaseName(std::move(text)); }

bool InList(const std::wstring& list, const std::wstring& name) {
  return Lower(list).find(L";" + name + L";") != std::wstring::npos;
}

}  // namespace

GateFlags ComputeGateFlags(const GateInputs& in) {
  GateFlags flags;
  const std::wstring name = Lower(in.exeName);
  flags.inert = in.os.AtLeast(6, 0) && name == L"dwm.exe";
  flags.reducedHook = InList(L";DeskloomConfig.exe;embededtest.exe;mmc.exe;dwm.exe;cpthost.exe;op_mon.exe;", name) ||
                      name.find(L"flashplayerplugin_") != std::wstring::npos ||
                      in.fileDescription.find(L"MAGIX ") != std::wstring::npos ||
                      (name == L"workspace.exe" && in.fixVersionDllLoaded);
  flags.shellViewCompat = InList(L";eterra.apf.exe;apf.exe;", name) || in.nview64Loaded;
  flags.dopusRuntime = name == L"dopusrt.exe";
  return flags;
}

OsVersion ReadOsVersion() noexcept {
  const platform::SystemVersion& os = platform::CurrentProcessIdentity().os;
  return OsVersion{os.major, os.minor};
}

GateInputs ReadGateInputs() {
  const platform::ProcessIdentity& identity = platform::CurrentProcessIdentity();
  GateInputs in;
  in.os = OsVersion{identity.os.major, identity.os.minor};
  in.exeName = identity.lowerName;
  in.fileDescription = identity.fileDescription;
  in.fixVersionDllLoaded = platform::IsModuleLoaded(L"FixVersionDll.dll");
  in.nview64Loaded = platform::IsModuleLoaded(L"nview64.dll");
  return in;
}

void SetProcessGate(const GateFlags& flags, const OsVersion& os) noexcept {
  g_flags = flags;
  g_os = os;
}
const GateFlags& ProcessGate() noexcept { return g_flags; }
const OsVersion& ProcessOsVersion() noexcept { return g_os; }

}  // namespace dl::entry
