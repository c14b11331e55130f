// The client thread: started suspended, resumed at the process's first message (or by the
// watchdog), it owns the client window, connects, pumps until the main program goes away,
// and ends only once the process's busy counter has fallen to 0.
#include <mutex>
#include <new>

#include "library/link/messenger_client.h"
#include "platform/callback_guard.h"
#include "platform/current_module.h"
#include "protocol/messenger_names.h"

namespace dl::link {
namespace {

void UsePerMonitorDpiAwareness() noexcept {
  using SetContextFn = void*(WINAPI*)(void*);
  auto set = reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
  if (set) set(reinterpret_cast<void*>(static_cast<LONG_PTR>(-4)));  // per monitor, version 2
}

// Wake on every kind of input the system knows, as the main program's clients always have.
constexpr DWORD kPumpWakeMask = 0x1CFF;
constexpr UINT_PTR kServerCheckTimer = 0;
constexpr DWORD kBusyPollMs = 100;

}  // namespace

struct TMessengerClient::ThreadStart {
  TMessengerClient* client;  // carries the thread's reference
  HMODULE module;            // carries the thread's library reference
};

void TMessengerClient::StartThread() noexcept {
  // The client thread keeps the library mapped until it leaves through FreeLibraryAndExitThread.
  HMODULE module = platform::ReferenceCurrentModule();
  if (!module) {
    SetState(kStateStopped);
    return;
  }
  AddRef();
  auto* start = new (std::nothrow) ThreadStart{this, module};
  bool started = false;
  {
    std::lock_guard lock(threadHandleLock_);
    DWORD threadId = 0;
    HANDLE thread =
        start ? ::CreateThread(nullptr, 0, &ClientThreadMain, start, CREATE_SUSPENDED, &threadId) : nullptr;
    if (!thread) {
      SetState(kStateStopped);
    } else {
      started = true;
      threadHandle_ = thread;
      clientThreadId_.store(threadId);
      if (GetState() == kStateNew) SetState(kStateSuspended);
      if (env_.resumeWanted) env_.resumeWanted->store(true, std::memory_order_release);
    }
  }
  if (!started) {
    delete start;
    ::FreeLibrary(module);
    Release();
    return;
  }
  if (runningInConsole_)
    ResumeClientThread();
  else if (GetState() == kStateSuspended)
    StartWatchdog();
}

void TMessengerClient::StartWatchdog() noexcept {
  if (!env_.startHoldingThread) return;
  AddRef();
  bool started = false;
  try {
    started = env_.startHoldingThread(&WatchdogMain, this);
  } catch (...) {
    platform::RecordCallbackFailure("messenger_thread: StartWatchdog");
  }
  if (!started) Release();
}

DWORD TMessengerClient::WatchdogMain(void* parameter) noexcept {
  auto* client = static_cast<TMessengerClient*>(parameter);
  // A process that never pumps a message still gets its link.
  do {
    ::Sleep(client->env_.watchdogPeriodMs);
    client->ResumeClientThread();
  } while (client->GetState() == kStateSuspended || client->GetState() == kStateRestarting);
  client->Release();
  return 0;
}

void TMessengerClient::ResumeClientThread() noexcept {
  std::lock_guard lock(threadHandleLock_);
  const int state = GetState();
  if ((state != kStateSuspended && state != kStateRestarting) || !threadHandle_) return;
  SetState(kStateResumed);
  if (env_.resumeWanted) env_.resumeWanted->store(false, std::memory_order_release);
  for (;;) {
    const DWORD previous = ::ResumeThread(threadHandle_);
    if (previous == static_cast<DWORD>(-1) || previous <= 1) break;
  }
}

DWORD WINAPI TMessengerClient::ClientThreadMain(void* parameter) noexcept {
  const ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  try {
    start.client->RunClientThread();
  } catch (...) {
    start.client->SetState(kStateStopped);
  }
  start.client->Release();
  // Returns into kernel32, not into the library it releases.
  ::FreeLibraryAndExitThread(start.module, 0);
}

void TMessengerClient::RunClientThread() {
  SetState(kStateSettingUp);
  {
    std::lock_guard lock(threadHandleLock_);
    if (threadHandle_) ::CloseHandle(threadHandle_);
    threadHandle_ = nullptr;
  }
  UsePerMonitorDpiAwareness();

  if (HWND wnd = done_.load(std::memory_order_acquire) ? nullptr : CreateClientWindow()) {
    ::SendMessageA(wnd, WM_NULL, 0, 0);
    SetWindow(wnd);
    if (!ServerWindowValid(0)) FindServerWindow(0);
    if (ServerWindowValid(0) && !IsRegistered(0)) Register(0);
    platform::UniqueHandle serverProcess = OpenServerWaitHandle();
    PostPendingMessages();
    SetState(kStateConnected);
    if (serverProcess)
      PumpWithWaitHandle(serverProcess.get());
    else
      PumpWithTimer();
    DestroyClientWindow(wnd);
  }
  FailAllPending();
  SetState(kStateStopped);
  WaitForBusyCounter();
}

platform::UniqueHandle TMessengerClient::OpenServerWaitHandle() {
  const DWORD serverProcessId = serverProcessId_.load();
  if (serverProcessId) {
    platform::UniqueHandle opened(::OpenProcess(SYNCHRONIZE, FALSE, serverProcessId));
    if (opened) return opened;
  }
  HWND server = ServerWindow(0);
  if (!server) return {};
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(server, env_.handshakeMessage, protocol::kHandshakeWaitHandle,
                             static_cast<LPARAM>(::GetCurrentProcessId()), SMTO_BLOCK, protocol::kHandshakeTimeoutMs,
                             &answer) ||
      answer == 0)
    return {};
  // The number came from another process: use it only if it really is the server's process
  // here, never wait on (and later close) some other handle of the application.
  HANDLE handle = reinterpret_cast<HANDLE>(answer);
  if (serverProcessId == 0 || ::GetProcessId(handle) != serverProcessId) return {};
  return platform::UniqueHandle(handle);
}

void TMessengerClient::PumpWithWaitHandle(HANDLE serverProcess) {
  while (GetState() == kStateConnected) {
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &serverProcess, FALSE, INFINITE, kPumpWakeMask);
    if (woke == WAIT_FAILED || woke == WAIT_OBJECT_0) {
      // The main program has ended.
      SendSelfHandshake(protocol::kHandshakeUnregistered, 0);
      SendSelfHandshake(protocol::kHandshakeUnload, 0);
      SetState(kStateLeaving);
      break;
    }
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        SetState(kStateLeaving);
        break;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
      if (::WaitForSingleObject(serverProcess, 0) == WAIT_OBJECT_0) break;
    }
  }
}

void TMessengerClient::PumpWithTimer() {
  ::SetTimer(GetWindow(), kServerCheckTimer, env_.serverCheckPeriodMs, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  SetState(kStateLeaving);
}

void TMessengerClient::WaitForBusyCounter() noexcept {
  for (;;) {
    long busy = 0;
    try {
      busy = env_.busyCount ? env_.busyCount() : 0;
    } catch (...) {
      platform::RecordCallbackFailure("messenger_thread: WaitForBusyCounter");
    }
    if (busy <= 0) return;
    MSG msg;
    bool stop = false;
    // Only this thread's own handshake posts: a restart tells the old thread to stop waiting.
    while (env_.handshakeMessage != 0 && ::PeekMessageW(&msg, reinterpret_cast<HWND>(-1), env_.handshakeMessage,
                                                        env_.handshakeMessage, PM_REMOVE)) {
      if (protocol::HandshakeCommandOf(msg.wParam) == protocol::kHandshakeStopWaiting) stop = true;
    }
    if (stop) return;
    ::Sleep(kBusyPollMs);
  }
}

}  // namespace dl::link
