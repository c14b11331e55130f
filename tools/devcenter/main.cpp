// devcenter: the stand-in for the main program.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/devcenter/devcenter_app.h"

int wmain(int argc, wchar_t** argv) {
  try {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    return dl::devcenter::RunDevCenter(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "devcenter: %s\n", e.what());
    return 2;
  }
}
