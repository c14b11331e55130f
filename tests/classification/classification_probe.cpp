// Started by the classification tests under various executable names; prints what
// this process finds out about itself, one "key=value" line each, in UTF-8.
#include <windows.h>

#include <cstdio>
#include <string>

#include "library/entry/process_gate.h"
#include "library/extender/process_flags.h"
#include "platform/text.h"

namespace {
void Line(const char* key, const std::wstring& value) {
  std::printf("%s=%s\n", key, dl::platform::WideToUtf8(value).c_str());
}
}  // namespace

int wmain() {
  using namespace dl::extender;
  const ProcessFlags& f = CurrentProcessFlags();
  const bool flags[] = {f.consoleHost, f.visualStudio, f.shell, f.desktopWindowManager, f.mediaCenter,
                        f.foxitReader, f.mindManager, f.outlook, f.office, f.frameHost, f.shellExperienceHost,
                        f.slack, f.pluginContainer, f.kingsoftOffice, f.pokerClient, f.maxqda,
                        f.directoryOpusRuntime};
  std::wstring bits;
  for (bool b : flags) bits += b ? L'1' : L'0';
  Line("flags", bits);
  Line("path", Executable().path);
  Line("name", Executable().name);
  Line("lowername", Executable().lowerName);
  Line("gatename", dl::entry::ReadGateInputs().exeName);
  const FileVersion& v = ExecutableVersion();
  Line("version", std::to_wstring(v.major) + L"." + std::to_wstring(v.minor) + L"." + std::to_wstring(v.release) +
                      L"." + std::to_wstring(v.build));
  Line("description", v.description);
  Line("win10", OsFlags().win10OrLater ? L"1" : L"0");
  std::fflush(stdout);
  return 0;
}
