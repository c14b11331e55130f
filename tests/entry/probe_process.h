#pragma once
// Starts the probe application as a real process and talks to its window.
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/handles.h"

namespace dl::entry::test {

// Polls until the predicate holds or the deadline passes; pumps this thread's messages meanwhile.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

std::wstring BinDir();

class ProbeProcess {
 public:
  // Starts the executable (the probe, or a copy of it under another name) and waits for its window.
  static std::unique_ptr<ProbeProcess> Start(const std::wstring& exePath);
  ~ProbeProcess();
  ProbeProcess(const ProbeProcess&) = delete;
  ProbeProcess& operator=(const ProbeProcess&) = delete;

  [[nodiscard]] HWND window() const noexcept { return window_; }
  [[nodiscard]] DWORD processId() const noexcept { return processId_; }
  // Sends a query and returns the answer (-1 when the probe does not answer in time).
  LRESULT Query(UINT message, WPARAM wParam = 0) const;
  bool Post(UINT message, WPARAM wParam, LPARAM lParam) const;
  // Posts a marker and waits until the window procedure has seen it: every earlier post
  // has then been retrieved and dispatched (or swallowed on the way).
  bool Flush();
  // Nudges the probe's queue until the global hook has brought the library into it.
  bool WaitLibraryMapped();

 private:
  ProbeProcess() = default;
  platform::UniqueHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
  LRESULT markers_ = 0;
};

}  // namespace dl::entry::test
