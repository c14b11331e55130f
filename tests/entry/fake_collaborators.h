#pragma once
// Stand-ins for the dispatcher, extender, application and messenger, so that the real hook
// procedures can be driven on a real window of this thread.
#include <windows.h>

#include <stdexcept>
#include <vector>

#include "library/runtime/library_services.h"

namespace dl::entry::test {

struct CaptionCall {
  HWND wnd;
  UINT message;
  LPARAM caption;
};

class FakeMessageHandler : public IMessageHandler {
 public:
  bool BeforeMessage(TMessageRecord& message) override {
    before.push_back(message);
    return message.Msg == claim;
  }
  void AfterMessage(TMessageRecord& message, bool flag) override {
    after.push_back(message);
    afterFlags.push_back(flag);
  }
  UINT claim = 0;  // BeforeMessage answers handled for this message
  std::vector<TMessageRecord> before;
  std::vector<TMessageRecord> after;
  std::vector<bool> afterFlags;
};

class FakeExtender : public IWindowExtender {
 public:
  IMessageHandler* GetMessageHandler() override { return &handler; }
  IMessageHandler* FindAction(const wchar_t*) override { return nullptr; }
  void ResetHook() override { ++resets; }
  FakeMessageHandler handler;
  int resets = 0;
};

class FakeDispatcher : public IProcessHook {
 public:
  bool IsActive() override {
    if (throwOnActive) throw std::runtime_error("dispatcher failure");
    return active;
  }
  void RegisterWindow(HWND, int) override {}
  void UnregisterWindow(HWND, int) override {}
  void CheckVisibleWindow(HWND, bool) override {}
  bool IsWindowExtended(HWND wnd) override { return wnd == extendedWindow; }
  bool IsWindowRegistered(HWND) override { return false; }
  bool HasWindowParams(HWND) override { return false; }
  std::vector<HWND> GetExtendedWindowsList() override { return {}; }
  IWindowExtender* GetWindowExtender(HWND wnd) override { return wnd == extendedWindow ? &extender : nullptr; }
  void OnCaptionChanged(HWND wnd, UINT message, LPARAM caption) override {
    if (lastErrorInCall) ::SetLastError(lastErrorInCall);
    captions.push_back({wnd, message, caption});
  }
  bool WindowIsUnbinding(HWND) override { return false; }
  void RefreshWindowState(HWND wnd, bool force) override {
    refreshed.push_back(wnd);
    refreshForced = force;
  }
  void ConsiderWindow(HWND, int, UINT, UINT) override {}

  bool active = true;
  bool throwOnActive = false;
  DWORD lastErrorInCall = 0;
  HWND extendedWindow = nullptr;
  FakeExtender extender;
  std::vector<CaptionCall> captions;
  std::vector<HWND> refreshed;
  bool refreshForced = false;
};

class FakeApplication : public IEmbeddedApplication {
 public:
  void Init() override {}
  void Done() override {}
  bool IsUnloading() override { return unloading; }
  void OnReloading() override {
    ++reloads;
    unloading = false;
  }
  bool NeedWinEventHook(DWORD) override { return false; }
  void Release() override {}
  bool unloading = false;
  int reloads = 0;
};

class FakeMessenger : public IMessengerClient {
 public:
  bool NeedRestart() override { return needRestart; }
  void Restart() override { ++restarts; }
  int GetState() override { return state; }
  void Done() override {}
  DWORD GetServerThreadId() override { return 0; }
  DWORD GetClientThreadId() override { return 0; }
  bool needRestart = false;
  int state = 0;
  int restarts = 0;
};

}  // namespace dl::entry::test
