#pragma once
// The messenger link's own names and numbers, agreed between the client in every process
// and the main program's server windows. The handshake message itself is a registered
// window message, named with the other shared messages.
#include <cstdint>

#include "protocol/window_class_names.h"

namespace dl::protocol {

// Message-only windows of the main program, by server instance (0: the main program's
// messenger server, 1: its shell server). ANSI class names.
inline constexpr const char* kMessengerServerClass[2] = {kMessengerServerWindowClass.narrow,
                                                         kMessengerShellServerWindowClass.narrow};
inline constexpr int kServerInstanceCount = 2;
// The client's message-only window in every process (ANSI class of the library).
inline constexpr const char* kMessengerClientClass = kMessengerClientWindowClass.narrow;

// The main program's handler windows (top-level, titled kHandlerWindowTitle), by server
// instance; they receive the window-event posts.
inline constexpr const char* kHandlerWindowClass[2] = {kControlCenterHandlerWindowClass.narrow,
                                                       kShellControlCenterHandlerWindowClass.narrow};
inline constexpr char kHandlerWindowTitle[] = "Deskloom";

// Handshake message: wParam low 16 bits the command, high 16 bits the server instance.
enum HandshakeCommand : std::uint32_t {
  kHandshakeAnnounce = 0,      // server to client window; lParam: the server window
  kHandshakeUnregistered = 1,  // server to client window
  kHandshakeUnload = 2,        // server to client window: the application must stop
  kHandshakeStopWaiting = 3,   // posted to the old client thread: stop waiting (restart)
  kHandshakeRegister = 4,      // client to server (sent); lParam: client window; answer 1 = accepted
  kHandshakeWaitHandle = 5,    // client to server (sent); lParam: client process id; answer: a handle
};
inline constexpr std::uintptr_t kRegistrationAccepted = 1;

constexpr std::uintptr_t HandshakeWParam(std::uint32_t command, std::uint32_t serverInstance) noexcept {
  return (static_cast<std::uintptr_t>(serverInstance & 0xFFFFu) << 16) | (command & 0xFFFFu);
}
constexpr std::uint32_t HandshakeCommandOf(std::uintptr_t wParam) noexcept {
  return static_cast<std::uint32_t>(wParam & 0xFFFFu);
}
constexpr std::uint32_t HandshakeInstanceOf(std::uintptr_t wParam) noexcept {
  return static_cast<std::uint32_t>((wParam >> 16) & 0xFFFFu);
}

// Private message to the client window: send the pending message (wParam its id, lParam
// its kind).
inline constexpr std::uint32_t kSendRequestMessage = 0x8001;

// Global atom naming the property that tells the main program which process a window
// belongs to (value: the process id).
inline constexpr char kWindowProcessAtomName[] = "{DC1B9555-736A-4514-A849-680B9B945802}";

// Time-outs and retries of the client's sends.
inline constexpr unsigned kHandshakeTimeoutMs = 1000;
inline constexpr unsigned kCopyDataTimeoutMs = 1000;
inline constexpr unsigned kSendAttempts = 1000;
inline constexpr unsigned kSendRetryPauseMs = 50;

// Requests other parts of the library send.
inline constexpr char kVirtualDesktopsReceiver[] = "VirtualDesktops";
inline constexpr std::uint32_t kWindowActivatedCommand = 20;
inline constexpr std::uint32_t kMoveWindowCommand = 29;

}  // namespace dl::protocol
