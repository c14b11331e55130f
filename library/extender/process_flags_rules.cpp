#include "library/extender/process_flags_rules.h"

namespace dl::extender {
namespace {
bool Contains(std::wstring_view text, std::wstring_view part) noexcept {
  return text.find(part) != std::wstring_view::npos;
}
}  // namespace

OsVersionFlags OsFlagsFromVersion(std::uint32_t major, std::uint32_t minor, std::uint32_t build) noexcept {
  auto atLeast = [&](std::uint32_t wantMajor, std::uint32_t wantMinor) {
    return major > wantMajor || (major == wantMajor && minor >= wantMinor);
  };
  OsVersionFlags os;
  os.vistaOrLater = atLeast(6, 0);
  os.win7OrLater = atLeast(6, 1);
  os.win8OrLater = atLeast(6, 2);
  os.win81OrLater = atLeast(6, 3);
  os.win10OrLater = atLeast(6, 4);
  os.build = build;
  return os;
}

ProcessFlags ComputeProcessFlags(const OsVersionFlags& os, std::wstring_view name, std::wstring_view path,
                                 bool officeLibraryLoaded) {
  ProcessFlags f;
  f.consoleHost = os.win7OrLater && name == L"conhost.exe";
  f.visualStudio = name == L"devenv.exe";
  f.shell = name == L"explorer.exe";
  f.desktopWindowManager = os.vistaOrLater && name == L"dwm.exe";
  f.mediaCenter = name == L"ehshell.exe";
  f.foxitReader = name == L"foxit reader.exe";
  f.mindManager = name == L"mindmanager.exe";
  f.outlook = name == L"outlook.exe";
  f.office = officeLibraryLoaded;
  f.frameHost = os.win10OrLater && name == L"applicationframehost.exe";
  f.shellExperienceHost = os.win10OrLater && name == L"shellexperiencehost.exe";
  f.slack = name == L"slack.exe";
  f.pluginContainer = name == L"plugin-container.exe";
  f.kingsoftOffice =
      Contains(path, L"\\kingsoft") && (name == L"wps.exe" || name == L"et.exe" || name == L"wpp.exe");
  f.pokerClient = Contains(path, L"\\svenska spels poker\\poker.exe");
  f.maxqda = Contains(path, L"\\maxqda");
  f.directoryOpusRuntime = name == L"dopusrt.exe";
  return f;
}

std::wstring TrimSpacesAndTabs(std::wstring_view text) {
  const auto first = text.find_first_not_of(L" \t");
  if (first == std::wstring_view::npos) return {};
  const auto last = text.find_last_not_of(L" \t");
  return std::wstring(text.substr(first, last - first + 1));
}

std::wstring FirstCommandLineParameter(std::wstring_view commandLine) {
  std::size_t i = commandLine.find_first_not_of(L" \t");
  if (i == std::wstring_view::npos) return {};
  std::wstring result;
  bool quoted = false;
  for (; i < commandLine.size(); ++i) {
    const wchar_t c = commandLine[i];
    if (c == L'"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && (c == L' ' || c == L'\t')) break;
    result += c;
  }
  return TrimSpacesAndTabs(result);
}

bool WantsLongPathName(std::wstring_view path) noexcept {
  const auto lastSeparator = path.find_last_of(L"\\/");
  if (lastSeparator == std::wstring_view::npos) return false;
  const auto drive = path.substr(0, lastSeparator + 1).find(L":\\", 1);
  return drive != std::wstring_view::npos;
}

std::wstring_view FileNameOf(std::wstring_view path) noexcept {
  const auto lastSeparator = path.find_last_of(L"\\/");
  return lastSeparator == std::wstring_view::npos ? path : path.substr(lastSeparator + 1);
}

}  // namespace dl::extender
