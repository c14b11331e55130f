#pragma once
// The objects of other subsystems that the global hook procedures and the library's
// start and end call into. Each slot is empty until its owner fills it; an empty slot
// makes the corresponding step do nothing. Pointers handed out by these interfaces are
// borrowed for the duration of the call that returned them.
#include <windows.h>

#include <atomic>
#include <vector>

namespace dl::entry {

// A message as window parts see it: message, wParam, lParam, result.
struct TMessageRecord {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

class IMessageHandler {
 public:
  // Answers whether the message was handled.
  virtual bool BeforeMessage(TMessageRecord& message) = 0;
  virtual void AfterMessage(TMessageRecord& message, bool flag) = 0;

 protected:
  ~IMessageHandler() = default;
};

// What the hooks need of a window extender.
class IWindowExtender {
 public:
  virtual IMessageHandler* GetMessageHandler() = 0;
  // The extender's action of that name (window-part owner's GetActions), or none.
  virtual IMessageHandler* FindAction(const wchar_t* name) = 0;
  // Puts the extender's window procedure back in place (its IWindowHandler).
  virtual void ResetHook() = 0;

 protected:
  ~IWindowExtender() = default;
};

// The rule dispatcher's face towards the hooks; present while the dispatcher exists.
class IProcessHook {
 public:
  virtual bool IsActive() = 0;
  // reason 0: an ordinary event, 1: a caption change.
  virtual void RegisterWindow(HWND wnd, int reason) = 0;
  virtual void UnregisterWindow(HWND wnd, int kind) = 0;
  virtual void CheckVisibleWindow(HWND wnd, bool ignoreVisibility) = 0;
  virtual bool IsWindowExtended(HWND wnd) = 0;
  // Registered, with or without a parameter string or extender.
  virtual bool IsWindowRegistered(HWND wnd) = 0;
  virtual IWindowExtender* GetWindowExtender(HWND wnd) = 0;
  virtual void OnCaptionChanged(HWND wnd, UINT message, LPARAM caption) = 0;
  virtual bool WindowIsUnbinding(HWND wnd) = 0;
  virtual bool HasWindowParams(HWND wnd) = 0;
  virtual std::vector<HWND> GetExtendedWindowsList() = 0;
  virtual void RefreshWindowState(HWND wnd, bool force) = 0;
  // The dispatcher's window-consideration routine: reason as for RegisterWindow, the
  // message that prompted it, and nonzero to extend the window even while it is invisible.
  virtual void ConsiderWindow(HWND wnd, int reason, UINT message, UINT ignoreVisibility) = 0;

 protected:
  ~IProcessHook() = default;
};

class IEmbeddedApplication {
 public:
  virtual void Init() = 0;
  virtual void Done() = 0;
  virtual bool IsUnloading() = 0;
  virtual void OnReloading() = 0;
  virtual bool NeedWinEventHook(DWORD eventId) = 0;
  virtual void Release() = 0;

 protected:
  ~IEmbeddedApplication() = default;
};

class IMessengerClient {
 public:
  virtual bool NeedRestart() = 0;
  virtual void Restart() = 0;
  virtual int GetState() = 0;  // -1 failed, 1 created but not running
  virtual void Done() = 0;
  virtual DWORD GetServerThreadId() = 0;
  virtual DWORD GetClientThreadId() = 0;

 protected:
  ~IMessengerClient() = default;
};

class IMessengerClientInternal {
 public:
  virtual void ResumeThread() = 0;

 protected:
  ~IMessengerClientInternal() = default;
};

class IThreadLocalHookList {
 public:
  virtual bool HookThread(DWORD threadId) = 0;
  virtual void UnhookThread(DWORD threadId) = 0;
  virtual void Clear() = 0;

 protected:
  ~IThreadLocalHookList() = default;
};

// A thread-local hook list held by its creator (the rule dispatcher); destroying it unhooks
// every thread it hooked.
class IOwnedThreadHookList : public IThreadLocalHookList {
 public:
  virtual ~IOwnedThreadHookList() = default;
};

using ThreadRoutine = void (*)() noexcept;

struct LibraryServices {
  std::atomic<IEmbeddedApplication*> application{nullptr};
  std::atomic<IProcessHook*> processHook{nullptr};  // set while the dispatcher is active
  std::atomic<IMessengerClient*> messenger{nullptr};
  std::atomic<IMessengerClientInternal*> messengerInternal{nullptr};
  // Set while the messenger client's thread waits to be resumed: the get-message hook's
  // only test on its common path.
  std::atomic<bool> messengerResumeWanted{false};
  std::atomic<IThreadLocalHookList*> threadHookList{nullptr};
  std::atomic<ThreadRoutine> threadAttachRoutine{nullptr};
  std::atomic<ThreadRoutine> threadDetachRoutine{nullptr};

  // Routines of other subsystems, looked up through these slots.
  std::atomic<bool (*)(HWND)> isTopLevelApplicationWindow{nullptr};
  std::atomic<HWND (*)(HWND)> findFrameWindow{nullptr};           // frame that owns a clicked window
  std::atomic<void (*)(LPARAM)> releaseTrampoline{nullptr};       // must ignore what it did not hand out
  std::atomic<bool (*)(HWND, HRAWINPUT)> recogniseHotKeyInput{nullptr};  // true = input consumed
  std::atomic<void (*)(HWND)> desktopDoubleClick{nullptr};
  std::atomic<bool (*)()> hookStubsEnabled{nullptr};
};

LibraryServices& Services() noexcept;

// Makes the thread-local hook list's UnhookThread run for every ending thread.
void InstallThreadDetachRoutine() noexcept;
void RemoveThreadDetachRoutine() noexcept;

}  // namespace dl::entry
