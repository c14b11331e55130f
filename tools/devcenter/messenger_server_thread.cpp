#include "tools/devcenter/messenger_server_thread.h"

#include <stdexcept>

namespace dl::devcenter {
namespace {
constexpr UINT kCallMessage = WM_APP + 2;
constexpr wchar_t kCallClass[] = L"dlm_DevCenterServerCalls";

struct CallBlock {
  MessengerServer* server;
  const std::function<void(MessengerServer&)>* work;
};

LRESULT CALLBACK CallProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  if (msg == kCallMessage) {
    try {
      auto* block = reinterpret_cast<CallBlock*>(lParam);
      auto* server = reinterpret_cast<MessengerServer*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
      if (server && block) (*block->work)(*server);
    } catch (...) {
    }
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}
}  // namespace

MessengerServerThread::MessengerServerThread(MessengerServer::Listener listener)
    : listener_(std::move(listener)), ready_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (!ready_) throw std::runtime_error("cannot create an event");
  thread_.reset(::CreateThread(nullptr, 0, &Main, this, 0, &threadId_));
  if (!thread_) throw std::runtime_error("cannot start the server thread");
  ::WaitForSingleObject(ready_.get(), INFINITE);
  if (!callWindow_) {
    ::WaitForSingleObject(thread_.get(), INFINITE);
    throw std::runtime_error("messenger server: " + failure_);
  }
}

MessengerServerThread::~MessengerServerThread() {
  if (thread_) {
    ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    ::WaitForSingleObject(thread_.get(), INFINITE);
  }
}

DWORD WINAPI MessengerServerThread::Main(void* parameter) noexcept {
  auto* self = static_cast<MessengerServerThread*>(parameter);
  try {
    MessengerServer server(self->listener_);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &CallProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kCallClass;
    ::RegisterClassW(&wc);
    platform::UniqueWindow calls(
        ::CreateWindowExW(0, kCallClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr));
    if (!calls) throw std::runtime_error("cannot create the call window");
    ::SetWindowLongPtrW(calls.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&server));
    self->callWindow_ = calls.get();
    ::SetEvent(self->ready_.get());
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::SetWindowLongPtrW(calls.get(), GWLP_USERDATA, 0);
  } catch (const std::exception& e) {
    self->failure_ = e.what();
    ::SetEvent(self->ready_.get());
  } catch (...) {
    self->failure_ = "failed";
    ::SetEvent(self->ready_.get());
  }
  return 0;
}

void MessengerServerThread::Call(const std::function<void(MessengerServer&)>& work) {
  CallBlock block{nullptr, &work};
  ::SendMessageW(callWindow_, kCallMessage, 0, reinterpret_cast<LPARAM>(&block));
}

HWND MessengerServerThread::ServerWindow(int instance) {
  HWND wnd = nullptr;
  Call([&](MessengerServer& server) { wnd = server.ServerWindow(instance); });
  return wnd;
}

}  // namespace dl::devcenter
