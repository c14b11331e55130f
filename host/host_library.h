#pragma once
// The loaded hook library as the host sees it: a module handle, four exports
// called by name, and the mouse-hook flag.
#include <windows.h>

#include <string>

namespace dl::host {

class EventLog;

class HostLibrary {
 public:
  explicit HostLibrary(EventLog& log) noexcept : log_(log) {}
  HostLibrary(const HostLibrary&) = delete;
  HostLibrary& operator=(const HostLibrary&) = delete;
  ~HostLibrary() { Shutdown(); }

  // LoadLibraryW, logged. False when no module came back.
  [[nodiscard]] bool Load(const std::wstring& path) noexcept;

  // Looks the export up and calls it; a missing export is a silent failure,
  // a present one is logged with its result.
  bool CallExport(const char* name) noexcept;

  // Commands 74 and 75 as they arrive in the thread's queue; true when consumed.
  bool FilterCommand(const MSG& msg, UINT serviceMessage) noexcept;

  // Uninstalls the mouse hook if set, then the main hooks, then frees the module.
  void Shutdown() noexcept;

  [[nodiscard]] bool Loaded() const noexcept { return module_ != nullptr; }
  [[nodiscard]] bool MouseHookInstalled() const noexcept { return mouseHook_; }

 private:
  EventLog& log_;
  HMODULE module_ = nullptr;
  bool mouseHook_ = false;
};

}  // namespace dl::host
