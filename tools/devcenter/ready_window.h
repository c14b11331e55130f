#pragma once
// The main program's window that receives the host's ready message.
#include <windows.h>

#include <functional>
#include <vector>

#include "platform/handles.h"

namespace dl::devcenter {

struct ServiceCall {
  WPARAM code = 0;
  LPARAM argument = 0;
  ULONGLONG tick = 0;
};

class ReadyWindow {
 public:
  // Registers the service message and creates a message-only window; throws on failure.
  ReadyWindow();
  ReadyWindow(const ReadyWindow&) = delete;
  ReadyWindow& operator=(const ReadyWindow&) = delete;
  ~ReadyWindow();

  [[nodiscard]] HWND Handle() const noexcept { return window_.get(); }
  [[nodiscard]] UINT ServiceMessage() const noexcept { return serviceMessage_; }
  // Every service message received so far, in order.
  [[nodiscard]] const std::vector<ServiceCall>& Calls() const noexcept { return calls_; }
  void ClearCalls() noexcept { calls_.clear(); }

  // Waits for one of `handles` while dispatching this thread's messages (so the
  // window answers sent messages), until `done` holds or the deadline passes.
  // Returns the index of the signalled handle, or -1 on time-out / when `done` held.
  int WaitPumping(const std::vector<HANDLE>& handles, DWORD timeoutMs,
                  const std::function<bool()>& done = nullptr);

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

  UINT serviceMessage_ = 0;
  std::vector<ServiceCall> calls_;
  platform::UniqueWindow window_;
};

}  // namespace dl::devcenter
