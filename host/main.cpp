// DeskloomCenter64: loads the hook library, installs its global hooks and waits.
#include <windows.h>

#include "host/arguments.h"
#include "host/host_program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    return dl::host::RunHost(dl::host::CommandLineArguments(::GetCommandLineW()));
  } catch (...) {
    return 0;
  }
}
