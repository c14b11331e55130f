#pragma once
// A plain top-level window with its own procedure, recording what reaches it.
#include <windows.h>

#include <vector>

#include "tests/support/pump.h"

namespace dl::test {

struct WindowLog {
  std::vector<UINT> messages;
  int count(UINT msg) const;
};

// Creates a window of a private class (W or A) whose procedure records into the log (stored in
// GWLP_USERDATA). Answers 0x600D to WM_APP.
HWND CreateLoggedWindow(WindowLog* log, bool unicode = true, DWORD style = WS_OVERLAPPEDWINDOW);

}  // namespace dl::test
