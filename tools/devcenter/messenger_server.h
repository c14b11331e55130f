#pragma once
// The stand-in's side of the messenger link: the message-only server windows of both
// instances, the handler windows, the handshake answers, and the frames to and from the
// clients. Every frame that arrives is untrusted and is decoded within its copied bytes.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/handles.h"
#include "protocol/frame_codec.h"

namespace dl::devcenter {

struct RegisteredClient {
  HWND window = nullptr;
  DWORD processId = 0;
  std::string title;  // the client window's title: its executable's path
};

struct ReceivedRequest {
  protocol::Request request;
  HWND senderWindow = nullptr;  // wParam: set when the client wants a reply
  DWORD windowProcessId = 0;    // the process the sending window belongs to, as the system says
};

class MessengerServer {
 public:
  // Receives one record per thing that happened ("client_registered", "request", ...).
  using Listener = std::function<void(const std::string& event, nlohmann::json fields)>;

  // Creates the two server windows and the two handler windows on the calling thread, which
  // must pump messages for them. Throws when a window cannot be created.
  explicit MessengerServer(Listener listener);
  MessengerServer(const MessengerServer&) = delete;
  MessengerServer& operator=(const MessengerServer&) = delete;
  ~MessengerServer();

  [[nodiscard]] HWND ServerWindow(int instance) const noexcept;
  [[nodiscard]] HWND HandlerWindow(int instance) const noexcept;
  [[nodiscard]] UINT HandshakeMessage() const noexcept { return handshake_; }

  [[nodiscard]] const std::vector<RegisteredClient>& Clients() const noexcept { return clients_; }
  [[nodiscard]] int RegistrationCount() const noexcept { return registrations_; }
  [[nodiscard]] const std::vector<ReceivedRequest>& Requests() const noexcept { return requests_; }
  [[nodiscard]] int MalformedFrameCount() const noexcept { return malformed_; }

  // Replies go to requests that carry a sender window; the result echoes the command data.
  void SetReplyToSenders(bool reply) noexcept { replyToSenders_ = reply; }

  // A command frame to every registered client (processId 0) or to those of one process.
  // Answers how many clients took it.
  int SendCommand(DWORD processId, std::uint32_t receiverWindow, const std::string& receiver,
                  std::uint32_t commandCode, const protocol::Bytes& data);
  // A handshake command to the clients' windows (0: lParam is this instance's server window).
  int SendHandshake(DWORD processId, std::uint32_t command, int instance);
  // Replaces the server window of `instance` with a new one and announces it to every
  // client (handshake command 0). Answers how many clients took the announcement.
  int ReplaceServerWindow(int instance);
  // Any bytes as a frame of any kind to one window (tests of a client's decoder).
  bool SendFrame(HWND client, ULONG_PTR kind, protocol::BytesView bytes);

  // Clients whose windows are gone are forgotten.
  void ForgetDeadClients();

 private:
  struct WindowSlot;
  static LRESULT CALLBACK ServerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK HandlerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT OnServerMessage(int instance, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnHandshake(int instance, WPARAM wParam, LPARAM lParam);
  LRESULT OnCopyData(int instance, WPARAM wParam, LPARAM lParam);
  void SendQueuedReplies();
  [[nodiscard]] std::vector<HWND> Targets(DWORD processId);
  [[nodiscard]] HWND CreateServerWindow(int instance);

  struct QueuedReply {
    HWND client;
    protocol::Bytes frame;
  };

  Listener listener_;
  UINT handshake_ = 0;
  UINT winEvent_ = 0;
  std::vector<platform::UniqueWindow> windows_;  // server 0, server 1, handler 0, handler 1
  std::vector<RegisteredClient> clients_;
  std::vector<ReceivedRequest> requests_;
  std::vector<QueuedReply> replies_;
  int registrations_ = 0;
  int malformed_ = 0;
  std::uint32_t nextCommandId_ = 1;
  bool replyToSenders_ = true;
};

// Text of command data for the log: printable ANSI as is, anything else in hex.
[[nodiscard]] nlohmann::json DescribeData(protocol::BytesView data);

}  // namespace dl::devcenter
