// The client window: a message-only window of the library's ANSI class, subclassed with the
// client window procedure while the client thread runs. The class itself keeps the system's
// default procedure, so nothing of the library is left in it once the window is gone.
#include <mutex>
#include <optional>
#include <string>

#include "library/link/messenger_client.h"
#include "platform/callback_guard.h"
#include "platform/copy_data.h"
#include "platform/current_module.h"
#include "protocol/frame_codec.h"
#include "protocol/messenger_names.h"

namespace dl::link {
namespace {

constexpr DWORD kClientStyle = 0x80000000;    // WS_POPUP
constexpr DWORD kClientExStyle = 0x80;        // WS_EX_TOOLWINDOW
constexpr UINT kMsgFltAllow = 1;

bool RegisterClientClass(HINSTANCE instance) noexcept {
  WNDCLASSA wc{};
  wc.lpfnWndProc = &::DefWindowProcA;
  wc.hInstance = instance;
  wc.lpszClassName = protocol::kMessengerClientClass;
  return ::RegisterClassA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::string ExecutablePathAnsi() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return path;
    path.resize(path.size() * 2);
  }
}

// Lets WM_COPYDATA from a less privileged main program through to this window (Windows 7
// and later; the function is absent before).
void AllowCopyDataFor(HWND wnd) noexcept {
  using ChangeFilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  auto change = reinterpret_cast<ChangeFilterExFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx")));
  if (change) change(wnd, WM_COPYDATA, kMsgFltAllow, nullptr);
}

}  // namespace

HWND TMessengerClient::CreateClientWindow() {
  HINSTANCE instance = platform::CurrentModule();
  if (!RegisterClientClass(instance)) return nullptr;
  HWND wnd = ::CreateWindowExA(kClientExStyle, protocol::kMessengerClientClass, ExecutablePathAnsi().c_str(),
                               kClientStyle, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (!wnd) return nullptr;
  ::SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ClientWindowProc));
  return wnd;
}

void TMessengerClient::SetWindow(HWND wnd) {
  {
    std::lock_guard lock(pendingLock_);
    wnd_.store(wnd, std::memory_order_release);
  }
  if (wnd) AllowCopyDataFor(wnd);
}

void TMessengerClient::DestroyClientWindow(HWND wnd) noexcept {
  SetWindow(nullptr);
  ::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcA));
  ::SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
  ::SendMessageA(wnd, WM_NULL, 0, 0);
  ::DestroyWindow(wnd);
}

LRESULT CALLBACK TMessengerClient::ClientWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    if (auto* client = reinterpret_cast<TMessengerClient*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA)))
      return client->HandleMessage(wnd, msg, wParam, lParam);
  } catch (...) {
    // Nothing leaves a window procedure; the message counts as handled.
    return msg == WM_COPYDATA || msg == protocol::kSendRequestMessage ? 1 : 0;
  }
  return ::DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT TMessengerClient::HandleMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_QUERYENDSESSION:
      return 1;
    case WM_ENDSESSION:
      active_.store(false, std::memory_order_release);
      return 0;
    case protocol::kSendRequestMessage:
      OnSendRequest(static_cast<std::uint32_t>(wParam));
      return 1;
    case WM_COPYDATA:
      OnCopyData(lParam);
      return 1;
    case WM_TIMER:
      if (wParam == 0) OnServerCheckTimer();
      return 0;
    default:
      break;
  }
  if (msg == env_.handshakeMessage && msg != 0) {
    OnHandshake(wParam, lParam);
    return 1;
  }
  return ::DefWindowProcA(wnd, msg, wParam, lParam);
}

void TMessengerClient::OnSendRequest(std::uint32_t messageId) {
  // A copy, so that the lock is not held while the server takes its time.
  TMessageData message;
  {
    std::lock_guard lock(pendingLock_);
    auto it = pending_.find(messageId);
    if (it == pending_.end()) return;
    message = it->second;
  }
  HWND server = ServerWindow(message.FServerInstance);
  bool sent = false;
  if (server && ::IsWindow(server)) {
    const protocol::Bytes payload = protocol::EncodeFrameWithId(messageId, message.FCommandBuffer);
    HWND from = message.FSender ? GetWindow() : nullptr;
    for (unsigned attempt = 0; attempt < protocol::kSendAttempts; ++attempt) {
      if (attempt > 0) {
        if (!::IsWindow(server)) break;
        ::Sleep(protocol::kSendRetryPauseMs);
      }
      if (platform::SendCopyData(server, from, static_cast<ULONG_PTR>(message.FMessageCode), payload, SMTO_BLOCK,
                                 protocol::kCopyDataTimeoutMs)) {
        sent = true;
        break;
      }
    }
  }
  model::RefPtr<IMessageSender> failedSender;
  {
    std::lock_guard lock(pendingLock_);
    auto it = pending_.find(messageId);
    if (it != pending_.end()) {
      if (!sent) failedSender = std::move(it->second.FSender);
      // Without a sender nobody waits for a reply: done with it. With one it waits for its reply.
      if (!it->second.FSender)
        pending_.erase(it);
      else
        it->second.sent = true;
    }
  }
  ReportFailed(failedSender, message.FCommandCode, message.FDataID);
}

void TMessengerClient::OnCopyData(LPARAM lParam) {
  std::optional<platform::CopyDataView> view = platform::ViewCopyData(lParam);
  protocol::Bytes payload;
  ULONG_PTR kind = 0;
  if (view) {
    payload.assign(view->bytes);
    kind = view->kind;
  }
  // The server is released before anything is processed: the copy is all we keep.
  ::ReplyMessage(1);
  if (!view) return;
  const std::optional<std::uint32_t> id = protocol::ReadMessageId(payload);
  if (!id) return;

  if (kind == protocol::kFrameRequestOrReply) {
    std::optional<protocol::Reply> reply = protocol::DecodeReply(payload);
    if (!reply) return;  // a reply without its result field is ignored
    TMessageData message;
    {
      std::lock_guard lock(pendingLock_);
      auto it = pending_.find(*id);
      if (it == pending_.end()) return;
      message = std::move(it->second);
      pending_.erase(it);
    }
    if (message.FSender) {
      try {
        message.FSender->OnMessageProcessed(message.FCommandCode, message.FDataID, reply->result);
      } catch (...) {
        platform::RecordCallbackFailure("messenger_window: OnCopyData");
      }
    }
    return;
  }

  try {
    OnMessageProcessed(static_cast<int>(kind), static_cast<std::uintptr_t>(-1), payload);
  } catch (...) {
    platform::RecordCallbackFailure("messenger_window: OnCopyData");
  }
  // A frame of another kind with the id of one of our requests completes it. Only a request
  // already delivered counts, and its sender hears that no reply will come: nothing is
  // dropped unseen.
  TMessageData message;
  {
    std::lock_guard lock(pendingLock_);
    auto it = pending_.find(*id);
    if (it == pending_.end() || !it->second.sent) return;
    message = std::move(it->second);
    pending_.erase(it);
  }
  ReportFailed(message.FSender, message.FCommandCode, message.FDataID);
}

void TMessengerClient::OnServerCheckTimer() {
  if (ServerWindowValid(0)) return;
  ::KillTimer(GetWindow(), 0);
  SetServerWindow(0, nullptr);
  SendSelfHandshake(protocol::kHandshakeUnregistered, 0);
  SendSelfHandshake(protocol::kHandshakeUnload, 0);
}

void TMessengerClient::SendSelfHandshake(std::uint32_t command, int serverInstance) {
  if (HWND wnd = GetWindow())
    ::SendMessageW(wnd, env_.handshakeMessage, protocol::HandshakeWParam(command, static_cast<std::uint32_t>(serverInstance)), 0);
}

void TMessengerClient::OnHandshake(WPARAM wParam, LPARAM lParam) {
  const std::uint32_t command = protocol::HandshakeCommandOf(wParam);
  const int instance = static_cast<int>(protocol::HandshakeInstanceOf(wParam));
  if (instance >= protocol::kServerInstanceCount) return;
  switch (command) {
    case protocol::kHandshakeAnnounce: {
      HWND announced = reinterpret_cast<HWND>(lParam);
      if (announced == ServerWindow(instance)) {
        if (ServerWindowValid(instance) && !IsRegistered(instance)) MarkRegistered(instance);
        return;
      }
      if (IsRegistered(instance)) MarkUnregistered(instance);
      SetServerWindow(instance, announced);
      if (ServerWindowValid(instance)) MarkRegistered(instance);
      return;
    }
    case protocol::kHandshakeUnregistered:
      if (IsRegistered(instance)) MarkUnregistered(instance);
      return;
    case protocol::kHandshakeUnload:
      AnnounceUnloading();
      ::PostQuitMessage(0);
      return;
    default:
      return;
  }
}

}  // namespace dl::link
