#include "library/entry/process_gate.h"

#include <cwctype>
#include <vector>

namespace dl::entry {
namespace {

constinit GateFlags g_flags{};
constinit OsVersion g_os{};

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

bool InList(const std::wstring& list, const std::wstring& name) {
  return Lower(list).find(L";" + name + L";") != std::wstring::npos;
}

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

std::wstring ExecutableFileName() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      std::wstring full(path.data(), n);
      const auto slash = full.find_last_of(L"\\/");
      return slash == std::wstring::npos ? full : full.substr(slash + 1);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

// Reads the description from the executable's own mapped image: no file access and no
// further module loads, which matters because this runs under the loader lock.
std::wstring ExecutableFileDescription() {
  HMODULE exe = ::GetModuleHandleW(nullptr);
  HRSRC info = ::FindResourceW(exe, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16) /* RT_VERSION */);
  if (!info) return {};
  const DWORD size = ::SizeofResource(exe, info);
  HGLOBAL loaded = ::LoadResource(exe, info);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};
  // VerQueryValueW may write into the block, so it works on a copy.
  std::vector<unsigned char> block(static_cast<const unsigned char*>(data),
                                   static_cast<const unsigned char*>(data) + size);
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
      length < sizeof(Translation))
    return {};
  wchar_t key[64];
  ::wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileDescription", translations[0].language,
              translations[0].codePage);
  wchar_t* text = nullptr;
  if (!::VerQueryValueW(block.data(), key, reinterpret_cast<void**>(&text), &length) || !text) return {};
  std::wstring result(text, length);
  const auto zero = result.find(L'\0');
  if (zero != std::wstring::npos) result.resize(zero);
  return result;
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
  OsVersion version;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  // GetVersionExW lies to programs without a compatibility manifest; ntdll does not.
  if (HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll")) {
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtlGetVersion && rtlGetVersion(&info) == 0) {
      version.major = info.dwMajorVersion;
      version.minor = info.dwMinorVersion;
      return version;
    }
  }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (::GetVersionExW(&info)) {
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
  }
#pragma GCC diagnostic pop
  return version;
}

GateInputs ReadGateInputs() {
  GateInputs in;
  in.os = ReadOsVersion();
  in.exeName = Lower(ExecutableFileName());
  in.fileDescription = ExecutableFileDescription();
  in.fixVersionDllLoaded = ::GetModuleHandleW(L"FixVersionDll.dll") != nullptr;
  in.nview64Loaded = ::GetModuleHandleW(L"nview64.dll") != nullptr;
  return in;
}

void SetProcessGate(const GateFlags& flags, const OsVersion& os) noexcept {
  g_flags = flags;
  g_os = os;
}
const GateFlags& ProcessGate() noexcept { return g_flags; }
const OsVersion& ProcessOsVersion() noexcept { return g_os; }

}  // namespace dl::entry
