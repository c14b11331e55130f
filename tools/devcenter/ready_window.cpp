#include "tools/devcenter/ready_window.h"

#include <stdexcept>

#include "platform/registered_messages.h"
#include "protocol/service_codes.h"

namespace dl::devcenter {
namespace {
constexpr wchar_t kClassName[] = L"dlm_DevCenterReadyWindow";
// The host answers nothing; we answer the ready message with this, for the record.
constexpr LRESULT kReadyAnswer = 1;
}  // namespace

ReadyWindow::ReadyWindow() {
  serviceMessage_ = platform::ServiceMessage();
  WNDCLASSW wc{};
  wc.lpfnWndProc = &ReadyWindow::Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw std::runtime_error("cannot register the ready window class");
  window_.reset(::CreateWindowExW(0, kClassName, L"devcenter", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                  nullptr));
  if (!window_) throw std::runtime_error("cannot create the ready window");
  ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ReadyWindow::~ReadyWindow() {
  if (window_) ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

LRESULT CALLBACK ReadyWindow::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    auto* self = reinterpret_cast<ReadyWindow*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self && msg == self->serviceMessage_) {
      self->calls_.push_back({wParam, lParam, ::GetTickCount64()});
      return wParam == protocol::kSvcHostReady ? kReadyAnswer : 0;
    }
  } catch (...) {
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

int ReadyWindow::WaitPumping(const std::vector<HANDLE>& handles, DWORD timeoutMs, const std::function<bool()>& done) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done && done()) return -1;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return -1;
    DWORD rc = ::MsgWaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                           static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    if (rc < WAIT_OBJECT_0 + handles.size()) return static_cast<int>(rc - WAIT_OBJECT_0);
    if (rc == WAIT_FAILED) return -1;
  }
}

}  // namespace dl::devcenter
