#pragma once
// Starts the probe application as a real process and talks to its window; loads the
// library as the host does and asks it what it did inside a probe.
#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/handles.h"
#include "tests/support/window_class.h"

namespace dl::entry::test {

// How long a probe gets to answer, start or end.
inline constexpr std::chrono::seconds kProbeWait{20};

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

// dlmemb64.dll from the binaries' folder with its two exports.
class HookLibrary {
 public:
  HookLibrary();
  [[nodiscard]] bool loaded() const { return module_ && install_ && uninstall_; }
  BOOL Install() const { return install_(); }
  BOOL Uninstall() const { return uninstall_(); }

 private:
  using HookExport = BOOL(WINAPI*)();
  platform::UniqueModule module_;
  HookExport install_ = nullptr;
  HookExport uninstall_ = nullptr;
};

// Asks the library inside a probe process what it did there (diagnostics service code); the
// answer comes back to a message-only window of this thread.
class EntryStateQuery {
 public:
  EntryStateQuery();
  // The library's entry-state bits, or nullopt when no answer came from that process in time.
  std::optional<unsigned> Ask(const ProbeProcess& probe);

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static inline UINT service_ = 0;
  static inline std::optional<LPARAM> answer_;
  dl::test::ScopedClass class_;
  platform::UniqueWindow window_;
};

}  // namespace dl::entry::test
