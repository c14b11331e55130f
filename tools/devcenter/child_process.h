#pragma once
// Processes the stand-in main program starts: the host and applications.
#include <windows.h>

#include <map>
#include <string>

#include "platform/handles.h"

namespace dl::devcenter {

// Environment variables to set for the child (on top of ours).
using EnvironmentOverrides = std::map<std::wstring, std::wstring>;

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(ChildProcess&&) noexcept = default;
  ChildProcess& operator=(ChildProcess&&) noexcept = default;
  // A child still running when its owner goes is ended: nothing is left behind.
  ~ChildProcess();

  // Starts `commandLine` (working folder `folder` if not empty); throws on failure.
  static ChildProcess Start(const std::wstring& commandLine, const EnvironmentOverrides& env = {},
                            const std::wstring& folder = {});

  [[nodiscard]] HANDLE Handle() const noexcept { return process_.get(); }
  [[nodiscard]] DWORD Id() const noexcept { return id_; }
  [[nodiscard]] bool Running() const noexcept;
  // Waits up to `timeoutMs`; true once the process has ended.
  bool WaitForExit(DWORD timeoutMs) const noexcept;
  // Exit code once ended; STILL_ACTIVE before.
  [[nodiscard]] DWORD ExitCode() const noexcept;
  // Asks the process's top-level windows to close, then ends it after `graceMs`.
  void Close(DWORD graceMs) noexcept;
  void Terminate() noexcept;

 private:
  platform::UniqueHandle process_;
  DWORD id_ = 0;
};

// "<host>" <pid> <window> <placement>, each argument quoted where needed.
std::wstring HostCommandLine(const std::wstring& hostPath, DWORD processId, HWND window, const std::wstring& placement);

std::wstring QuoteArgument(const std::wstring& arg);

}  // namespace dl::devcenter
