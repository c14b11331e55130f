#pragma once
// A plain top-level window with its own procedure, recording what reaches it.
#include <windows.h>

#include <functional>
#include <vector>

namespace dl::test {

struct WindowLog {
  std::vector<UINT> messages;
  int count(UINT msg) const;
};

// Creates a window of a private class (W or A) whose procedure records into the log (stored in
// GWLP_USERDATA). Answers 0x600D to WM_APP.
HWND CreateLoggedWindow(WindowLog* log, bool unicode = true, DWORD style = WS_OVERLAPPEDWINDOW);

// Runs the thread's message loop until pred holds or the deadline passes.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000);

}  // namespace dl::test
