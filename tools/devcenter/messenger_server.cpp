#include "tools/devcenter/messenger_server.h"

#include <algorithm>
#include <stdexcept>

#include "platform/copy_data.h"
#include "platform/registered_messages.h"
#include "platform/text.h"
#include "protocol/message_names.h"
#include "protocol/messenger_names.h"
#include "protocol/registration_notice.h"
#include "tools/devcenter/control_frame.h"
#include "tools/devcenter/recorder.h"

namespace dl::devcenter {
namespace {

constexpr UINT kSendRepliesMessage = WM_APP + 1;
constexpr UINT kReplyTimeoutMs = 1000;
constexpr int kServerWindows = 2;

struct ClassSpec {
  const char* name;
  bool messageOnly;
};

// Never sends a message: the client that just registered is blocked in its send to us, and a
// WM_GETTEXT to its window would wait for it.
std::string WindowTitle(HWND wnd) {
  wchar_t title[1024] = {};
  const int n = ::InternalGetWindowText(wnd, title, 1024);
  return platform::WideToAnsi(std::wstring_view(title, n > 0 ? static_cast<std::size_t>(n) : 0));
}

std::uint64_t HandleValue(HWND wnd) { return reinterpret_cast<std::uintptr_t>(wnd); }

}  // namespace

nlohmann::json DescribeData(protocol::BytesView data) {
  const bool printable = std::all_of(data.begin(), data.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x20 && u < 0x7F) || c == '\t';
  });
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (char c : data) {
    hex.push_back(kHex[(static_cast<unsigned char>(c) >> 4) & 0xF]);
    hex.push_back(kHex[static_cast<unsigned char>(c) & 0xF]);
  }
  nlohmann::json out = {{"size", data.size()}, {"hex", hex}};
  if (printable) out["text"] = std::string(data);
  if (auto packed = protocol::UnpackInteger(data); packed && data.size() == 8) out["int"] = *packed;
  return out;
}

MessengerServer::MessengerServer(Listener listener) : listener_(std::move(listener)) {
  handshake_ = ::RegisterWindowMessageW(protocol::kHandshakeMessageName);
  winEvent_ = platform::RegisterMessageWithFallback(protocol::kWinEventMessage);
  if (!handshake_) throw std::runtime_error("cannot register the handshake message");
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  const ClassSpec specs[4] = {{protocol::kMessengerServerClass[0], true},
                              {protocol::kMessengerServerClass[1], true},
                              {protocol::kHandlerWindowClass[0], false},
                              {protocol::kHandlerWindowClass[1], false}};
  for (int i = 0; i < 4; ++i) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = i < kServerWindows ? &ServerProc : &HandlerProc;
    wc.hInstance = instance;
    wc.lpszClassName = specs[i].name;
    if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
      throw std::runtime_error(std::string("cannot register the window class ") + specs[i].name);
    HWND wnd = specs[i].messageOnly
                   ? CreateServerWindow(i)
                   : ::CreateWindowExA(WS_EX_TOOLWINDOW, specs[i].name, protocol::kHandlerWindowTitle, WS_POPUP, 0, 0,
                                       0, 0, nullptr, nullptr, instance, nullptr);
    if (!wnd) throw std::runtime_error(std::string("cannot create the window ") + specs[i].name);
    windows_.emplace_back(wnd);
    ::SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  listener_("server_ready", {{"server_window", HandleValue(ServerWindow(0))},
                             {"shell_server_window", HandleValue(ServerWindow(1))},
                             {"handler_window", HandleValue(HandlerWindow(0))},
                             {"pid", ::GetCurrentProcessId()}});
}

MessengerServer::~MessengerServer() {
  for (auto& wnd : windows_)
    if (wnd) ::SetWindowLongPtrA(wnd.get(), GWLP_USERDATA, 0);
}

HWND MessengerServer::CreateServerWindow(int instance) {
  HWND wnd = ::CreateWindowExA(0, protocol::kMessengerServerClass[instance], nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (!wnd) return nullptr;
  // Clients of a main program that runs elevated still reach it.
  using ChangeFilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  if (auto change = reinterpret_cast<ChangeFilterExFn>(reinterpret_cast<void*>(
          ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx")))) {
    change(wnd, WM_COPYDATA, 1, nullptr);
    change(wnd, handshake_, 1, nullptr);
  }
  return wnd;
}

int MessengerServer::ReplaceServerWindow(int instance) {
  if (instance < 0 || instance >= kServerWindows) return 0;
  HWND fresh = CreateServerWindow(instance);
  if (!fresh) return 0;
  ::SetWindowLongPtrA(fresh, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  platform::UniqueWindow old(windows_[instance].release());
  windows_[instance].reset(fresh);
  ::SetWindowLongPtrA(old.get(), GWLP_USERDATA, 0);
  old.reset();
  listener_("server_window_replaced", {{"instance", instance}, {"window", HandleValue(fresh)}});
  return SendHandshake(0, protocol::kHandshakeAnnounce, instance);
}

HWND MessengerServer::ServerWindow(int instance) const noexcept {
  return instance >= 0 && instance < kServerWindows ? windows_[instance].get() : nullptr;
}

HWND MessengerServer::HandlerWindow(int instance) const noexcept {
  return instance >= 0 && instance < kServerWindows ? windows_[kServerWindows + instance].get() : nullptr;
}

LRESULT CALLBACK MessengerServer::ServerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    if (auto* self = reinterpret_cast<MessengerServer*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA))) {
      const int instance = wnd == self->ServerWindow(0) ? 0 : 1;
      return self->OnServerMessage(instance, wnd, msg, wParam, lParam);
    }
  } catch (...) {
    return 0;
  }
  return ::DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK MessengerServer::HandlerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    auto* self = reinterpret_cast<MessengerServer*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (self && msg == self->winEvent_ && self->winEvent_ != 0) {
      const int instance = wnd == self->HandlerWindow(0) ? 0 : 1;
      self->listener_("window_event", {{"instance", instance},
                                       {"event", static_cast<std::uint64_t>(wParam)},
                                       {"window", static_cast<std::uint64_t>(lParam)}});
      return 0;
    }
  } catch (...) {
    return 0;
  }
  return ::DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT MessengerServer::OnServerMessage(int instance, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == handshake_) return OnHandshake(instance, wParam, lParam);
  if (msg == WM_COPYDATA) return OnCopyData(instance, wParam, lParam);
  if (msg == kSendRepliesMessage) {
    SendQueuedReplies();
    return 0;
  }
  return ::DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT MessengerServer::OnHandshake(int instance, WPARAM wParam, LPARAM lParam) {
  const std::uint32_t command = protocol::HandshakeCommandOf(wParam);
  if (command == protocol::kHandshakeRegister) {
    HWND client = reinterpret_cast<HWND>(lParam);
    DWORD processId = 0;
    if (!client || !::GetWindowThreadProcessId(client, &processId)) {
      listener_("registration_refused", {{"instance", instance}, {"window", HandleValue(client)}});
      return 0;
    }
    ++registrations_;
    auto known = std::find_if(clients_.begin(), clients_.end(), [&](const RegisteredClient& c) { return c.window == client; });
    if (known == clients_.end()) clients_.push_back({client, processId, WindowTitle(client)});
    listener_("client_registered", {{"instance", instance},
                                    {"window", HandleValue(client)},
                                    {"pid", processId},
                                    {"exe", WindowTitle(client)}});
    // The shell server announces itself too; posted, because the client is blocked in
    // this very call until it returns.
    if (instance == 0)
      ::PostMessageW(client, handshake_, protocol::HandshakeWParam(protocol::kHandshakeAnnounce, 1),
                     reinterpret_cast<LPARAM>(ServerWindow(1)));
    return static_cast<LRESULT>(protocol::kRegistrationAccepted);
  }
  if (command == protocol::kHandshakeWaitHandle) {
    // A handle of this process, duplicated into the client's, that it can wait on.
    const DWORD clientProcessId = static_cast<DWORD>(lParam);
    platform::UniqueHandle client(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, clientProcessId));
    HANDLE duplicated = nullptr;
    if (!client || !::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), client.get(), &duplicated,
                                      SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0))
      duplicated = nullptr;
    listener_("wait_handle", {{"pid", clientProcessId}, {"ok", duplicated != nullptr}});
    return reinterpret_cast<LRESULT>(duplicated);
  }
  listener_("handshake_ignored", {{"instance", instance}, {"wparam", static_cast<std::uint64_t>(wParam)}});
  return 0;
}

LRESULT MessengerServer::OnCopyData(int instance, WPARAM wParam, LPARAM lParam) {
  std::optional<platform::CopyDataView> view = platform::ViewCopyData(lParam);
  if (!view) {
    ++malformed_;
    listener_("malformed_frame", {{"instance", instance}, {"reason", "no record"}});
    return 0;
  }
  if (view->kind == kControlFrameKind && instance == 0) {
    std::optional<ControlFrame> control = DecodeControlFrame(view->bytes);
    if (!control) {
      ++malformed_;
      listener_("malformed_frame", {{"instance", instance}, {"kind", view->kind}, {"size", view->bytes.size()}});
      return 0;
    }
    const int reached = control->op == ControlFrame::kCommand
                            ? SendCommand(control->processId, control->receiverWindow, control->receiver,
                                          control->commandCode, control->data)
                            : SendHandshake(control->processId, control->handshakeCommand,
                                            static_cast<int>(control->instance));
    return reached;
  }
  std::optional<protocol::Request> request;
  if (view->kind == protocol::kFrameRequestOrReply) request = protocol::DecodeRequest(view->bytes);
  if (!request) {
    ++malformed_;
    listener_("malformed_frame", {{"instance", instance}, {"kind", view->kind}, {"size", view->bytes.size()}});
    return 0;
  }
  HWND sender = reinterpret_cast<HWND>(wParam);
  DWORD windowProcessId = 0;
  if (sender) ::GetWindowThreadProcessId(sender, &windowProcessId);
  requests_.push_back({*request, sender, windowProcessId});
  nlohmann::json fields = {{"instance", instance},
                           {"id", request->messageId},
                           {"receiver", request->receiver},
                           {"code", request->commandCode},
                           {"data", DescribeData(request->commandData)},
                           {"pid", request->processId},
                           {"sender_window", HandleValue(sender)}};
  // Registration notices are what a person debugging rules looks for: show them decoded.
  const auto code = static_cast<std::int32_t>(request->commandCode);
  if (request->receiver.empty() &&
      (code == protocol::kNoticeRegistered || code == protocol::kNoticeCaptionRuleChanged)) {
    if (auto notice = protocol::DecodeRegistrationNotice(request->commandData))
      fields["notice"] = {{"window", notice->Wnd},        {"exe", notice->FileName},
                          {"class", notice->WindowClass}, {"caption", notice->WindowCaption},
                          {"rule", notice->RuleName},     {"rule_type", notice->RuleType}};
  }
  listener_("request", std::move(fields));
  if (sender && replyToSenders_) {
    // The client waits in its send until this returns: the reply goes out afterwards.
    replies_.push_back({sender, protocol::EncodeReply(request->messageId, request->commandData)});
    ::PostMessageW(ServerWindow(instance), kSendRepliesMessage, 0, 0);
  }
  return 1;
}

void MessengerServer::SendQueuedReplies() {
  std::vector<QueuedReply> replies;
  replies.swap(replies_);
  for (const QueuedReply& reply : replies) {
    const bool ok = platform::SendCopyData(reply.client, ServerWindow(0), protocol::kFrameRequestOrReply, reply.frame,
                                           SMTO_BLOCK | SMTO_ABORTIFHUNG, kReplyTimeoutMs);
    if (!ok) listener_("reply_failed", {{"window", HandleValue(reply.client)}});
  }
}

void MessengerServer::ForgetDeadClients() {
  std::erase_if(clients_, [](const RegisteredClient& c) { return !::IsWindow(c.window); });
}

std::vector<HWND> MessengerServer::Targets(DWORD processId) {
  ForgetDeadClients();
  std::vector<HWND> targets;
  for (const RegisteredClient& c : clients_)
    if (processId == 0 || c.processId == processId) targets.push_back(c.window);
  return targets;
}

int MessengerServer::SendCommand(DWORD processId, std::uint32_t receiverWindow, const std::string& receiver,
                                 std::uint32_t commandCode, const protocol::Bytes& data) {
  int reached = 0;
  for (HWND client : Targets(processId)) {
    protocol::Command command{nextCommandId_++, receiverWindow, receiver, commandCode, data};
    const bool ok = platform::SendCopyData(client, ServerWindow(0), protocol::kFrameCommand,
                                           protocol::EncodeCommand(command), SMTO_BLOCK | SMTO_ABORTIFHUNG,
                                           kReplyTimeoutMs);
    if (ok) ++reached;
    listener_("command_sent", {{"window", HandleValue(client)},
                               {"id", command.messageId},
                               {"receiver", receiver},
                               {"code", commandCode},
                               {"data", DescribeData(data)},
                               {"ok", ok}});
  }
  return reached;
}

int MessengerServer::SendHandshake(DWORD processId, std::uint32_t command, int instance) {
  if (instance < 0 || instance >= kServerWindows) return 0;
  int reached = 0;
  const LPARAM lParam = command == protocol::kHandshakeAnnounce ? reinterpret_cast<LPARAM>(ServerWindow(instance)) : 0;
  for (HWND client : Targets(processId)) {
    DWORD_PTR answer = 0;
    const bool ok = ::SendMessageTimeoutW(client, handshake_, protocol::HandshakeWParam(command, instance), lParam,
                                          SMTO_BLOCK | SMTO_ABORTIFHUNG, kReplyTimeoutMs, &answer) != 0;
    if (ok) ++reached;
    listener_("handshake_sent", {{"window", HandleValue(client)}, {"command", command}, {"instance", instance},
                                 {"ok", ok}});
  }
  return reached;
}

bool MessengerServer::SendFrame(HWND client, ULONG_PTR kind, protocol::BytesView bytes) {
  return platform::SendCopyData(client, ServerWindow(0), kind, bytes, SMTO_BLOCK | SMTO_ABORTIFHUNG, kReplyTimeoutMs);
}

}  // namespace dl::devcenter
