#pragma once
// The per-thread hooks of this process: for each GUI thread, WH_CALLWNDPROC and WH_CALLWNDPROCRET
// through the stubs and in-context window-event hooks. Event hooks belong to their thread, so a
// release requested elsewhere travels to the owning thread through its "dlm_LocalUnhookWnd" window.
#include <windows.h>

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "platform/handles.h"

namespace dl::entry {

inline constexpr std::array<DWORD, 5> kThreadWinEvents = {
    EVENT_OBJECT_CREATE, EVENT_OBJECT_DESTROY, EVENT_OBJECT_SHOW, EVENT_OBJECT_LOCATIONCHANGE,
    EVENT_OBJECT_NAMECHANGE};

struct ThreadHookSettings {
  bool reducedHookProcess = false;          // event hooks only
  bool (*needWinEventHook)(DWORD event) = nullptr;  // which events to hook; null: none
  WINEVENTPROC winEventProc = nullptr;      // null: the library's window-event procedure
  HOOKPROC callWndProc = nullptr;           // null: the stubs
  HOOKPROC callWndProcRet = nullptr;
};

// One thread's hooks. Releasing (the destructor) is the only way they go.
class ThreadHookItem {
 public:
  explicit ThreadHookItem(DWORD threadId) noexcept : threadId_(threadId) {}
  ~ThreadHookItem() { Release(); }
  ThreadHookItem(ThreadHookItem&& other) noexcept;
  ThreadHookItem& operator=(ThreadHookItem&&) = delete;
  ThreadHookItem(const ThreadHookItem&) = delete;
  ThreadHookItem& operator=(const ThreadHookItem&) = delete;

  [[nodiscard]] DWORD ThreadId() const noexcept { return threadId_; }
  [[nodiscard]] HWND UnhookWnd() const noexcept { return unhookWnd_; }
  [[nodiscard]] HHOOK WindowsHook(std::size_t i) const noexcept { return windowsHooks_[i]; }
  [[nodiscard]] HWINEVENTHOOK WinEventHook(std::size_t i) const noexcept { return winEventHooks_[i]; }

 private:
  friend class ThreadLocalHookList;
  // Unhooks what can be unhooked here; event hooks and the unhook window of another thread are
  // sent to that thread.
  void Release() noexcept;
  void ReleaseOnOwningThread() noexcept;
  static LRESULT CALLBACK UnhookWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

  DWORD threadId_;
  HWND unhookWnd_ = nullptr;
  std::array<HHOOK, 2> windowsHooks_{};
  std::array<HWINEVENTHOOK, 5> winEventHooks_{};
};

class ThreadLocalHookList {
 public:
  explicit ThreadLocalHookList(ThreadHookSettings settings = {}) noexcept : settings_(settings) {}
  ~ThreadLocalHookList() { Clear(); }
  ThreadLocalHookList(const ThreadLocalHookList&) = delete;
  ThreadLocalHookList& operator=(const ThreadLocalHookList&) = delete;

  // Makes sure the thread's hooks exist; answers whether they do. Called on the thread itself
  // (its unhook window belongs to the calling thread).
  bool HookThread(DWORD threadId) noexcept;
  void UnhookThread(DWORD threadId) noexcept;
  void Clear() noexcept;

  // What the list holds for a thread (diagnostics and tests).
  struct Snapshot {
    HWND unhookWnd;
    std::array<HHOOK, 2> windowsHooks;
    std::array<HWINEVENTHOOK, 5> winEventHooks;
  };
  [[nodiscard]] std::optional<Snapshot> Find(DWORD threadId) noexcept;
  [[nodiscard]] std::size_t Count() noexcept;

 private:
  bool Install(ThreadHookItem& item) noexcept;

  ThreadHookSettings settings_;
  platform::CriticalSection hookListLock_;
  std::vector<std::unique_ptr<ThreadHookItem>> hookList_;
};

}  // namespace dl::entry
