#include "tools/devcenter/devcenter_app.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "platform/handles.h"

namespace dl::devcenter {
namespace {
constexpr wchar_t kWindowClass[] = L"dlm_DevCenterHandlerWindow";

LRESULT CALLBACK HandlerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH * 4];
  DWORD n = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}
}  // namespace

int RunDevCenter(const std::vector<std::wstring>&) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = HandlerProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kWindowClass;
  ::RegisterClassW(&wc);
  platform::UniqueWindow handler(::CreateWindowExW(0, kWindowClass, L"devcenter", WS_OVERLAPPED, 0, 0, 0, 0,
                                                   nullptr, nullptr, wc.hInstance, nullptr));
  if (!handler) throw std::runtime_error("cannot create the handler window");
  std::printf("devcenter: handler window %p\n", static_cast<void*>(handler.get()));

  std::wstring cmd = L"\"" + OwnFolder() + L"DeskloomCenter64.exe\" " + std::to_wstring(::GetCurrentProcessId()) +
                     L" " + std::to_wstring(reinterpret_cast<UINT_PTR>(handler.get())) + L" 1";
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    throw std::runtime_error("cannot start DeskloomCenter64.exe");
  platform::UniqueHandle process(pi.hProcess), thread(pi.hThread);
  std::printf("devcenter: host started, process id %lu\n", pi.dwProcessId);
  DWORD waited = ::WaitForSingleObject(process.get(), 30000);
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  std::printf("devcenter: host %s, exit code %lu\n", waited == WAIT_OBJECT_0 ? "ended" : "still running", code);
  std::fflush(stdout);
  return 0;
}
}  // namespace dl::devcenter
