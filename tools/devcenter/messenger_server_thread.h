#pragma once
// The stand-in's server on a thread of its own, so that it answers clients at once whatever
// the rest of the stand-in is waiting for.
#include <windows.h>

#include <functional>
#include <memory>

#include "platform/handles.h"
#include "tools/devcenter/messenger_server.h"

namespace dl::devcenter {

class MessengerServerThread {
 public:
  // Starts the thread and waits until the server's windows exist; throws if they cannot be made.
  // The listener is called on the server thread.
  explicit MessengerServerThread(MessengerServer::Listener listener);
  MessengerServerThread(const MessengerServerThread&) = delete;
  MessengerServerThread& operator=(const MessengerServerThread&) = delete;
  // Stops the thread; its windows go with it.
  ~MessengerServerThread();

  // Runs `work` on the server thread and waits for it.
  void Call(const std::function<void(MessengerServer&)>& work);
  [[nodiscard]] HWND ServerWindow(int instance);
  [[nodiscard]] DWORD ThreadId() const noexcept { return threadId_; }

 private:
  static DWORD WINAPI Main(void* self) noexcept;

  MessengerServer::Listener listener_;
  platform::UniqueHandle ready_;
  platform::UniqueHandle thread_;
  DWORD threadId_ = 0;
  HWND callWindow_ = nullptr;  // server window 0 at start; calls reach the thread through it
  std::string failure_;
};

}  // namespace dl::devcenter
