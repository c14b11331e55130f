// An application whose window the library extends: its own window procedure throws a C++
// exception that the application catches outside DispatchMessage, and walks its own stack back
// to main, as a crash reporter or a profiler does. Both while a copy of the library has the
// window extended and after that copy has been unloaded, its trampoline left as a forwarder.
// Exits 0 when every check holds; prints each check.
#include <windows.h>

#include <cstdio>
#include <string>

#include "protocol/message_names.h"
#include "tests/runtime/library_copy_probe.h"
#include "tests/support/bin_dir.h"
#include "tests/support/stack_walk.h"

namespace {

constexpr UINT kWalkMessage = WM_APP + 9;

struct ApplicationError {
  int code;
};

int g_failures = 0;
void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  if (!ok) ++g_failures;
}

dl::test::CodeRange g_main;
bool g_walkReachedMain = false;

LRESULT CALLBACK ApplicationProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kProbeThrowMessage) throw ApplicationError{static_cast<int>(wParam)};
  if (msg == kWalkMessage) {
    g_walkReachedMain = dl::test::StackWalkReaches(g_main);
    return 1;
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

// The caller's return address: an address inside main, to find main's function entry.
__attribute__((noinline)) void* CallerAddress() { return __builtin_return_address(0); }

std::wstring TempCopy() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring target =
      std::wstring(temp) + L"dlprobe_exception_" + std::to_wstring(::GetCurrentProcessId()) + L".dll";
  const std::wstring source = dl::test::BinDir() + L"\\dl_storage_probe.dll";
  if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) return {};
  return target;
}

template <typename F>
F Export(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool InsideModule(HMODULE module, const void* address) {
  MEMORY_BASIC_INFORMATION info{};
  return ::VirtualQuery(address, &info, sizeof info) == sizeof info && info.AllocationBase == module;
}

}  // namespace

int main() {
  g_main = dl::test::FunctionContaining(CallerAddress());
  if (!g_main.begin) {
    std::puts("FAILED: no unwind entry for main");
    return 1;
  }

  WNDCLASSW wc{};
  wc.lpfnWndProc = &ApplicationProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"dl_throwing_application";
  ::RegisterClassW(&wc);
  HWND wnd = ::CreateWindowExW(0, wc.lpszClassName, L"Throwing application", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
  if (!wnd) {
    std::puts("FAILED: no window");
    return 1;
  }
  HWND child = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, wnd, nullptr,
                                 wc.hInstance, nullptr);
  const UINT serviceMessage = ::RegisterWindowMessageW(dl::protocol::kServiceMessageName);

  const std::wstring path = TempCopy();
  HMODULE copy = path.empty() ? nullptr : ::LoadLibraryW(path.c_str());
  auto extend = Export<void* (*)(HWND, HWND)>(copy, "ProbeExtend");
  auto unextend = Export<void (*)()>(copy, "ProbeUnextend");
  auto handlerCount = Export<LONG (*)(int)>(copy, "ProbeHandlerCount");
  auto busyCount = Export<LONG (*)()>(copy, "ProbeBusyCount");
  if (!copy || !extend || !unextend || !handlerCount || !busyCount) {
    std::puts("FAILED: the library copy could not be loaded");
    return 1;
  }
  const LONG idle = busyCount();
  void* trampoline = extend(wnd, child);
  Check(trampoline != nullptr, "the window is extended");
  Check(reinterpret_cast<void*>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC)) == trampoline &&
            !InsideModule(copy, trampoline),
        "its procedure is a trampoline outside the library copy's image");
  const LONG busyExtended = busyCount();
  Check(busyExtended == idle + 1, "the live extender counts in the busy counter");

  MSG msg{};
  for (int round = 0; round < 2; ++round) {
    const bool extended = round == 0;
    std::printf("-- %s\n", extended ? "extended by a loaded copy" : "after the copy was unloaded");
    int caught = 0;
    ::PostMessageW(wnd, kProbeThrowMessage, 7, 0);
    while (::PeekMessageW(&msg, wnd, kProbeThrowMessage, kProbeThrowMessage, PM_REMOVE)) {
      try {
        ::DispatchMessageW(&msg);
      } catch (const ApplicationError& error) {
        caught += error.code == 7;
      }
    }
    Check(caught == 1, "a posted message: the exception reaches the catch outside DispatchMessage");
    try {
      ::SendMessageW(wnd, kProbeThrowMessage, 8, 0);
    } catch (const ApplicationError& error) {
      caught += error.code == 8;
    }
    Check(caught == 2, "a sent message: the exception reaches the catch around SendMessage");
    if (extended) {
      Check(busyCount() == busyExtended, "the busy counter is back where it was");
      Check(handlerCount(0) == 2 && handlerCount(1) == 2,
            "the part saw both messages before and after the previous procedure");
      bool childCaught = false;
      try {
        ::SendMessageW(child, kProbeThrowMessage, 9, 0);
      } catch (const ApplicationError& error) {
        childCaught = error.code == 9;
      }
      Check(childCaught && handlerCount(2) == 1,
            "a child subclassed for a part: its exception reaches the application's catch too");
      Check(busyCount() == busyExtended, "the busy counter is back where it was after the child's exception");
      Check(::SendMessageW(wnd, serviceMessage, 10, 0) == 42, "the extender still answers its ping");
    }
    g_walkReachedMain = false;
    ::PostMessageW(wnd, kWalkMessage, 0, 0);
    while (::PeekMessageW(&msg, wnd, kWalkMessage, kWalkMessage, PM_REMOVE)) ::DispatchMessageW(&msg);
    Check(g_walkReachedMain, "a stack walk from the window procedure reaches main");
    if (extended) {
      unextend();
      Check(busyCount() == idle, "the detached extender counted out");
      Check(reinterpret_cast<void*>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC)) == trampoline,
            "the trampoline stays the window's procedure");
      ::FreeLibrary(copy);
      Check(::GetModuleHandleW(path.c_str()) == nullptr, "the library copy is unloaded");
    }
  }
  Check(::SendMessageW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"still working")) == TRUE,
        "the window keeps working");
  ::DestroyWindow(wnd);
  ::DeleteFileW(path.c_str());
  std::printf("%d failure(s)\n", g_failures);
  return g_failures == 0 ? 0 : 1;
}
