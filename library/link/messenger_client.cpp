#include "library/link/messenger_client.h"

#include <mutex>
#include <vector>

#include "platform/callback_guard.h"
#include "platform/text.h"
#include "protocol/frame_codec.h"
#include "protocol/messenger_names.h"

namespace dl::link {
namespace {

bool ValidInstance(int serverInstance) noexcept { return serverInstance == 0 || serverInstance == 1; }

// How often, while the application is unloading, the hooks may look for a restarted main
// program: the search asks the window server, and the hooks run for every message.
constexpr ULONGLONG kRestartCheckPeriodMs = 200;

}  // namespace

model::RefPtr<TMessengerClient> TMessengerClient::Create(MessengerEnvironment environment) {
  model::RefPtr<TMessengerClient> client(new TMessengerClient(std::move(environment)));
  if (client->env_.becomeProcessClient) client->env_.becomeProcessClient(client.Get());
  client->FindServerWindow(0);
  if (client->ServerWindowValid(0)) client->active_.store(true, std::memory_order_release);
  client->StartThread();
  return client;
}

TMessengerClient::TMessengerClient(MessengerEnvironment environment)
    : env_(std::move(environment)),
      runningInConsole_(::GetConsoleWindow() != nullptr),
      nextMessageId_(::GetTickCount()) {}

void* TMessengerClient::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IMessengerClient::kIid) return static_cast<IMessengerClient*>(this);
  if (iid == IMessageSender::kIid) return static_cast<IMessageSender*>(this);
  if (iid == model::IEventLogSink::kIid) return static_cast<model::IEventLogSink*>(this);
  return TInterfacedObject::FindInterface(iid);
}

bool TMessengerClient::SendMessage(std::wstring_view receiver, int commandCode, const Bytes& commandData,
                                   std::uintptr_t dataId, IMessageSender* sender, int serverInstance) {
  model::RefPtr<IMessageSender> senderRef(sender);
  if (!IsActive() || !ValidInstance(serverInstance)) {
    // Nothing can carry it: whoever waits for an answer hears so now instead of never.
    ReportFailed(senderRef, commandCode, dataId);
    return false;
  }
  Bytes body = protocol::EncodeRequestBody(platform::WideToAnsi(receiver), static_cast<std::uint32_t>(commandCode),
                                           commandData, ::GetCurrentProcessId());
  std::uint32_t id = 0;
  HWND wnd = nullptr;
  {
    std::lock_guard lock(pendingLock_);
    id = nextMessageId_++;
    TMessageData& data = pending_[id];
    data.FCommandCode = commandCode;
    data.FDataID = dataId;
    data.FSender = std::move(senderRef);
    data.FCommandBuffer = std::move(body);
    data.FMessageCode = protocol::kFrameRequestOrReply;
    data.FMessageID = id;
    data.FServerInstance = serverInstance;
    // The window is published under this lock, so either it is seen here or the thread's
    // start-up posts this message.
    wnd = wnd_.load(std::memory_order_acquire);
    data.FQueued = wnd != nullptr;
  }
  if (wnd) ::PostMessageW(wnd, protocol::kSendRequestMessage, id, protocol::kFrameRequestOrReply);
  return true;
}

bool TMessengerClient::SendText(std::wstring_view receiver, int commandCode, std::wstring_view commandData,
                                std::uintptr_t dataId, IMessageSender* sender, int serverInstance) {
  return SendMessage(receiver, commandCode, platform::WideToAnsi(commandData), dataId, sender, serverInstance);
}

void TMessengerClient::SendCommand(std::wstring_view receiver, std::uint32_t command, std::wstring_view data) {
  (void)SendText(receiver, static_cast<int>(command), data, 0, nullptr, 0);
}

void TMessengerClient::RegisterServerMessageDispatcher(entry::IServerMessageDispatcher* dispatcher) {
  model::RefPtr<entry::IServerMessageDispatcher> fresh(dispatcher);
  platform::ExclusiveSrwLock lock(dispatcherLock_);
  std::swap(dispatcher_, fresh);
}

void TMessengerClient::UnregisterServerMessageDispatcher() {
  model::RefPtr<entry::IServerMessageDispatcher> old;
  {
    platform::ExclusiveSrwLock lock(dispatcherLock_);
    std::swap(dispatcher_, old);
  }
}

model::RefPtr<entry::IServerMessageDispatcher> TMessengerClient::Dispatcher() const {
  ::AcquireSRWLockShared(&dispatcherLock_);
  model::RefPtr<entry::IServerMessageDispatcher> copy = dispatcher_;
  ::ReleaseSRWLockShared(&dispatcherLock_);
  return copy;
}

bool TMessengerClient::NeedRestart() {
  if (GetState() != kStateStopped) return false;
  const ULONGLONG now = ::GetTickCount64();
  ULONGLONG due = nextRestartCheck_.load(std::memory_order_relaxed);
  if (now < due || !nextRestartCheck_.compare_exchange_strong(due, now + kRestartCheckPeriodMs)) return false;
  HWND server = ::FindWindowExA(HWND_MESSAGE, nullptr, protocol::kMessengerServerClass[0], nullptr);
  if (!server) return false;
  DWORD processId = 0;
  ::GetWindowThreadProcessId(server, &processId);
  return processId != 0 && processId != serverProcessId_.load();
}

void TMessengerClient::Restart() {
  {
    std::lock_guard lock(threadHandleLock_);
    if (GetState() != kStateStopped || threadHandle_) return;
    SetState(kStateRestarting);
  }
  // The old thread may still be waiting for the busy counter, which this very call keeps
  // above 0: tell it to stop waiting.
  if (const DWORD old = clientThreadId_.load())
    ::PostThreadMessageW(old, env_.handshakeMessage, protocol::kHandshakeStopWaiting, 0);
  StartThread();
  ResumeClientThread();
}

void TMessengerClient::SetWindowProcess(HWND wnd) {
  if (wnd)
    ::SetPropA(wnd, protocol::kWindowProcessAtomName,
               reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(::GetCurrentProcessId())));
}

void TMessengerClient::ReportFailed(const model::RefPtr<IMessageSender>& sender, int commandCode,
                                    std::uintptr_t dataId) noexcept {
  if (!sender) return;
  try {
    sender->OnSendMessageFailed(commandCode, dataId);
  } catch (...) {
    platform::RecordCallbackFailure("messenger_client: ReportFailed");
  }
}

void TMessengerClient::FailAllPending() noexcept {
  std::map<std::uint32_t, TMessageData> failed;
  {
    std::lock_guard lock(pendingLock_);
    failed.swap(pending_);
  }
  // Outside the lock: a sender may well send again from its callback.
  for (auto& [id, data] : failed) ReportFailed(data.FSender, data.FCommandCode, data.FDataID);
}

std::size_t TMessengerClient::PendingCount() const {
  std::lock_guard lock(pendingLock_);
  return pending_.size();
}

void TMessengerClient::Done() {
  done_.store(true, std::memory_order_release);
  active_.store(false, std::memory_order_release);
  MarkUnregistered(1);
  MarkUnregistered(0);
  AnnounceUnloading();
  if (HWND wnd = GetWindow()) ::PostMessageW(wnd, WM_QUIT, 0, 0);
  FailAllPending();
  // A thread still waiting to be resumed would hold the library and this client forever.
  ResumeClientThread();
}

bool TMessengerClient::ServerWindowValid(int serverInstance) const noexcept {
  HWND wnd = ServerWindow(serverInstance);
  return wnd && ::IsWindow(wnd);
}

HWND TMessengerClient::ServerWindow(int serverInstance) const noexcept {
  return ValidInstance(serverInstance) ? serverWnd_[static_cast<std::size_t>(serverInstance)].load() : nullptr;
}

bool TMessengerClient::IsRegistered(int serverInstance) const noexcept {
  return ValidInstance(serverInstance) && registered_[static_cast<std::size_t>(serverInstance)].load();
}

void TMessengerClient::SetServerWindow(int serverInstance, HWND wnd) noexcept {
  if (ValidInstance(serverInstance)) serverWnd_[static_cast<std::size_t>(serverInstance)].store(wnd);
}

void TMessengerClient::FindServerWindow(int serverInstance) {
  if (!ValidInstance(serverInstance)) return;
  HWND wnd = ::FindWindowExA(HWND_MESSAGE, nullptr, protocol::kMessengerServerClass[serverInstance], nullptr);
  SetServerWindow(serverInstance, wnd);
  if (serverInstance != 0) return;
  DWORD processId = 0;
  const DWORD threadId = wnd ? ::GetWindowThreadProcessId(wnd, &processId) : 0;
  serverThreadId_.store(threadId);
  serverProcessId_.store(wnd ? processId : 0);
}

void TMessengerClient::Register(int serverInstance) {
  HWND server = ServerWindow(serverInstance);
  if (!server) return;
  DWORD_PTR answer = 0;
  const LRESULT ok = ::SendMessageTimeoutW(server, env_.handshakeMessage, protocol::kHandshakeRegister,
                                           reinterpret_cast<LPARAM>(GetWindow()), SMTO_BLOCK,
                                           protocol::kHandshakeTimeoutMs, &answer);
  if (ok && answer == protocol::kRegistrationAccepted) MarkRegistered(serverInstance);
}

void TMessengerClient::MarkRegistered(int serverInstance) {
  if (!ValidInstance(serverInstance)) return;
  registered_[static_cast<std::size_t>(serverInstance)].store(true);
  if (serverInstance == 0) active_.store(true, std::memory_order_release);
  if (auto dispatcher = Dispatcher()) {
    try {
      dispatcher->OnClientRegistered(GetWindow(), serverInstance);
    } catch (...) {
      platform::RecordCallbackFailure("messenger_client: MarkRegistered");
    }
  }
}

void TMessengerClient::MarkUnregistered(int serverInstance) {
  if (!ValidInstance(serverInstance)) return;
  registered_[static_cast<std::size_t>(serverInstance)].store(false);
  if (serverInstance == 0) active_.store(false, std::memory_order_release);
  if (auto dispatcher = Dispatcher()) {
    try {
      dispatcher->OnClientUnregistered(serverInstance);
    } catch (...) {
      platform::RecordCallbackFailure("messenger_client: MarkUnregistered");
    }
  }
}

void TMessengerClient::AnnounceUnloading() {
  if (auto dispatcher = Dispatcher()) {
    try {
      dispatcher->OnUnloading();
    } catch (...) {
      platform::RecordCallbackFailure("messenger_client: AnnounceUnloading");
    }
  }
}

void TMessengerClient::PostPendingMessages() {
  std::vector<std::uint32_t> ids;
  {
    std::lock_guard lock(pendingLock_);
    for (auto& [id, data] : pending_) {
      if (data.FQueued) continue;
      data.FQueued = true;
      ids.push_back(id);
    }
  }
  HWND wnd = GetWindow();
  for (std::uint32_t id : ids) ::PostMessageW(wnd, protocol::kSendRequestMessage, id, protocol::kFrameRequestOrReply);
}

void TMessengerClient::OnMessageProcessed(int commandCode, std::uintptr_t, const Bytes& result) {
  if (commandCode != protocol::kFrameCommand) return;
  auto dispatcher = Dispatcher();
  if (!dispatcher) return;
  std::optional<protocol::Command> command = protocol::DecodeCommand(result);
  if (!command) return;  // a frame that ends early is ignored
  // Window handles carry their low 32 bits across processes, sign-extended like every handle.
  HWND receiverWnd = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<std::int32_t>(command->receiverWindow)));
  dispatcher->OnMessageFromServer(receiverWnd, platform::AnsiToWide(command->receiver),
                                  static_cast<int>(command->commandCode), command->commandData);
}

void TMessengerClient::OnSendMessageFailed(int, std::uintptr_t dataId) {
  if (!IsActive()) return;
  const int instance = static_cast<int>(dataId);
  if (IsRegistered(instance)) MarkUnregistered(instance);
  if (instance == 0) {
    if (HWND wnd = GetWindow())
      ::PostMessageW(wnd, env_.handshakeMessage, protocol::HandshakeWParam(protocol::kHandshakeUnload, 0), 0);
  }
}

}  // namespace dl::link
