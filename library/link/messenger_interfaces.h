#pragma once
// The messenger client as the rest of the library sees it: requests to the main program,
// the dispatcher that receives its commands, and whoever wants to hear how a request went.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "library/runtime/plugin_interfaces.h"
#include "library/model/interfaces.h"

namespace dl::link {

// Byte string of a request's command data or a reply's result.
using Bytes = std::string;

// Hears back about a request it sent. Called on the client thread.
struct IMessageSender : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{3C8E5A10-7B2D-4E69-9F41-0A6D2C8B5E73}");
  virtual void OnMessageProcessed(int commandCode, std::uintptr_t dataId, const Bytes& result) = 0;
  virtual void OnSendMessageFailed(int commandCode, std::uintptr_t dataId) = 0;
};

struct IMessengerClient : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{8F2A6C41-D35E-4B07-A1C9-6E4F0B2D7A58}");
  // Queues a request to server instance `serverInstance`. False when it was dropped because
  // the client is not active; a sender then hears OnSendMessageFailed at once.
  virtual bool SendMessage(std::wstring_view receiver, int commandCode, const Bytes& commandData,
                           std::uintptr_t dataId, IMessageSender* sender, int serverInstance) = 0;
  // The same with text command data, converted to the ANSI code page.
  virtual bool SendText(std::wstring_view receiver, int commandCode, std::wstring_view commandData,
                        std::uintptr_t dataId, IMessageSender* sender, int serverInstance) = 0;
  virtual void RegisterServerMessageDispatcher(entry::IServerMessageDispatcher* dispatcher) = 0;
  virtual void UnregisterServerMessageDispatcher() = 0;
  [[nodiscard]] virtual int GetState() const noexcept = 0;
  virtual void SetState(int state) noexcept = 0;
  [[nodiscard]] virtual bool NeedRestart() = 0;
  virtual void Restart() = 0;
  [[nodiscard]] virtual DWORD GetServerThreadId() const noexcept = 0;
  [[nodiscard]] virtual DWORD GetClientThreadId() const noexcept = 0;
  virtual void SetWindowProcess(HWND wnd) = 0;
  virtual void FailAllPending() noexcept = 0;
  virtual void Done() = 0;
  [[nodiscard]] virtual bool ServerWindowValid(int serverInstance) const noexcept = 0;
  [[nodiscard]] virtual HWND ServerWindow(int serverInstance) const noexcept = 0;
  [[nodiscard]] virtual DWORD GetServerProcessId() const noexcept = 0;
  [[nodiscard]] virtual bool IsActive() const noexcept = 0;
};

// Client states.
enum MessengerState : int {
  kStateStopped = -1,     // thread ended, or it could not be created
  kStateNew = 0,
  kStateSuspended = 1,    // thread created, suspended
  kStateResumed = 2,
  kStateSettingUp = 3,    // thread creating the window and the connection
  kStateConnected = 4,    // pumping
  kStateLeaving = 5,      // leaving the pump
  kStateRestarting = 6,   // restart requested
};

}  // namespace dl::link
