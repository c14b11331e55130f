#pragma once
// TMessengerClient: the one link of a process to the main program. A hidden message-only
// window on a thread of its own carries requests out and replies and commands in (WM_COPYDATA
// frames), registers with the main program's server windows and notices when the main
// program goes away or comes back.
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>

#include "library/link/messenger_interfaces.h"
#include "library/model/event_log.h"
#include "platform/handles.h"

namespace dl::link {

// What the client needs of the process it lives in. Tests give their own.
struct MessengerEnvironment {
  // The registered handshake message.
  UINT handshakeMessage = 0;
  // The process's busy counter: the client thread ends only once it is 0.
  std::function<long()> busyCount;
  // Starts fn(argument) on a thread that keeps the library loaded (the resume watchdog).
  std::function<bool(DWORD (*fn)(void*) noexcept, void* argument)> startHoldingThread;
  // Set while the client thread waits to be resumed: the get-message hook's one flag test.
  std::atomic<bool>* resumeWanted = nullptr;
  // Called once at creation: the client becomes the process's messenger client.
  std::function<void(class TMessengerClient*)> becomeProcessClient;
  DWORD watchdogPeriodMs = 10000;
  UINT serverCheckPeriodMs = 5000;  // timer of the pump without a wait handle
};

class TMessengerClient final : public model::TInterfacedObject,
                               public virtual IMessengerClient,
                               public virtual IMessageSender,
                               public virtual model::IEventLogSink {
 public:
  // Creation: find server window 0 (active if it exists) and start the client thread,
  // suspended (console processes: running at once).
  [[nodiscard]] static model::RefPtr<TMessengerClient> Create(MessengerEnvironment environment);

  // IMessengerClient.
  bool SendMessage(std::wstring_view receiver, int commandCode, const Bytes& commandData, std::uintptr_t dataId,
                   IMessageSender* sender, int serverInstance) override;
  bool SendText(std::wstring_view receiver, int commandCode, std::wstring_view commandData, std::uintptr_t dataId,
                IMessageSender* sender, int serverInstance) override;
  void RegisterServerMessageDispatcher(entry::IServerMessageDispatcher* dispatcher) override;
  void UnregisterServerMessageDispatcher() override;
  [[nodiscard]] int GetState() const noexcept override { return state_.load(std::memory_order_acquire); }
  void SetState(int state) noexcept override { state_.store(state, std::memory_order_release); }
  [[nodiscard]] bool NeedRestart() override;
  void Restart() override;
  [[nodiscard]] DWORD GetServerThreadId() const noexcept override { return serverThreadId_.load(); }
  [[nodiscard]] DWORD GetClientThreadId() const noexcept override { return clientThreadId_.load(); }
  void SetWindowProcess(HWND wnd) override;
  void FailAllPending() noexcept override;
  void Done() override;
  [[nodiscard]] bool ServerWindowValid(int serverInstance) const noexcept override;
  [[nodiscard]] HWND ServerWindow(int serverInstance) const noexcept override;
  [[nodiscard]] DWORD GetServerProcessId() const noexcept override { return serverProcessId_.load(); }
  [[nodiscard]] bool IsActive() const noexcept override { return active_.load(std::memory_order_acquire); }

  // IMessageSender of the client itself: frames other than replies arrive here
  // (commandCode = kind, dataId = -1, result = payload); a failed send of its own
  // (dataId = server instance) unregisters that instance.
  void OnMessageProcessed(int commandCode, std::uintptr_t dataId, const Bytes& result) override;
  void OnSendMessageFailed(int commandCode, std::uintptr_t dataId) override;

  // IEventLogSink: log lines go out as text requests without a sender.
  void SendCommand(std::wstring_view receiver, std::uint32_t command, std::wstring_view data) override;

  // Internal operations: the client window and thread use them; the hooks resume the thread.
  [[nodiscard]] HWND GetWindow() const noexcept { return wnd_.load(std::memory_order_acquire); }
  [[nodiscard]] bool IsRegistered(int serverInstance) const noexcept;
  void ResumeClientThread() noexcept;
  [[nodiscard]] std::size_t PendingCount() const;

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;

 private:
  struct TMessageData {
    int FCommandCode = 0;
    std::uintptr_t FDataID = 0;
    model::RefPtr<IMessageSender> FSender;
    Bytes FCommandBuffer;  // the encoded request body
    int FMessageCode = 1;  // WM_COPYDATA kind
    std::uint32_t FMessageID = 0;
    int FServerInstance = 0;
    bool FQueued = false;  // a send request has been posted
    bool sent = false;     // delivered to the server, waiting for its reply
  };
  struct ThreadStart;

  explicit TMessengerClient(MessengerEnvironment environment);
  ~TMessengerClient() override = default;

  // Thread start, resume and the thread itself (messenger_thread.cpp).
  void StartThread() noexcept;
  void StartWatchdog() noexcept;
  static DWORD WINAPI ClientThreadMain(void* parameter) noexcept;
  static DWORD WatchdogMain(void* parameter) noexcept;
  void RunClientThread();
  void PumpWithWaitHandle(HANDLE serverProcess);
  void PumpWithTimer();
  void WaitForBusyCounter() noexcept;
  [[nodiscard]] platform::UniqueHandle OpenServerWaitHandle();

  // The client window (messenger_window.cpp).
  [[nodiscard]] HWND CreateClientWindow();
  void SetWindow(HWND wnd);
  void DestroyClientWindow(HWND wnd) noexcept;
  static LRESULT CALLBACK ClientWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT HandleMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void OnSendRequest(std::uint32_t messageId);
  void OnCopyData(LPARAM lParam);
  void OnServerCheckTimer();
  void OnHandshake(WPARAM wParam, LPARAM lParam);
  void SendSelfHandshake(std::uint32_t command, int serverInstance);

  // Connection (messenger_client.cpp).
  void FindServerWindow(int serverInstance);
  void SetServerWindow(int serverInstance, HWND wnd) noexcept;
  void Register(int serverInstance);
  void MarkRegistered(int serverInstance);
  void MarkUnregistered(int serverInstance);
  void AnnounceUnloading();
  void PostPendingMessages();
  [[nodiscard]] model::RefPtr<entry::IServerMessageDispatcher> Dispatcher() const;
  void ReportFailed(const model::RefPtr<IMessageSender>& sender, int commandCode, std::uintptr_t dataId) noexcept;

  // Members in set-up order.
  MessengerEnvironment env_;
  const bool runningInConsole_;
  std::atomic<bool> active_{false};
  std::atomic<HWND> wnd_{nullptr};

  mutable platform::CriticalSection pendingLock_;  // guards pending_, nextMessageId_ and the window's publication
  std::map<std::uint32_t, TMessageData> pending_;
  std::uint32_t nextMessageId_;

  std::array<std::atomic<bool>, 2> registered_{};
  std::array<std::atomic<HWND>, 2> serverWnd_{};

  platform::CriticalSection threadHandleLock_;  // guards threadHandle_ and state changes around the thread
  HANDLE threadHandle_ = nullptr;

  mutable SRWLOCK dispatcherLock_ = SRWLOCK_INIT;
  model::RefPtr<entry::IServerMessageDispatcher> dispatcher_;

  std::atomic<int> state_{kStateNew};
  std::atomic<DWORD> serverProcessId_{0};
  std::atomic<DWORD> serverThreadId_{0};
  std::atomic<DWORD> clientThreadId_{0};
  std::atomic<ULONGLONG> nextRestartCheck_{0};
  std::atomic<bool> done_{false};  // Done ran: a thread that starts now only ends
};

}  // namespace dl::link
