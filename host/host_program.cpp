#include "host/host_program.h"

#include <windows.h>

#include <shellapi.h>

#include "host/event_log.h"
#include "protocol/product_names.h"
#include "host/host_run.h"
#include "host/library_placement.h"
#include "platform/config_folder.h"
#include "platform/process_modules.h"

namespace dl::host {

bool LaunchMainProgram(const std::wstring& folder) noexcept {
  try {
    const std::wstring file = folder + protocol::kMainProgramFileName;
    auto rc = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, nullptr, file.c_str(), nullptr, folder.c_str(), SW_HIDE));
    return rc > 32;
  } catch (...) {
    return false;
  }
}

int RunHost(const std::vector<std::wstring>& args) noexcept {
  try {
    const std::wstring configFolder = platform::LookUpConfigFolder();
    if (args.empty()) {
      LaunchMainProgram(platform::ExecutableFolder());
      return 0;
    }
    if (args.size() != 3) return 0;
    EventLog log(configFolder);
    HostRunSettings settings{ParseHostArguments(args[0], args[1], args[2]), platform::ExecutableFolder(), TempLibraryPath()};
    RunHostSession(settings, log);
  } catch (...) {
  }
  return 0;
}

}  // namespace dl::host
