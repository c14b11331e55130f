// The child of the process-start rounds: a small program that imports only kernel32, user32
// and the C runtime, as a plain GUI program does, loads one library and retrieves a message.
//   start_probe [--window] bare|imports|mapped|library <dll>
//     --window  create a window first, as a GUI program has before its first message
//     bare      load the DLL as it is (the bare hook library, or the library)
//     imports   first load what the library used to import beyond such a program (ole32,
//               shlwapi), then the DLL
//     mapped    map the DLL without running its imports or entry point
// Exit code 0 when the library was loaded and the message retrieved.
#include <windows.h>

#include <cwchar>

namespace {

LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

HWND MakeWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"dl_start_probe";
  ::RegisterClassW(&wc);
  return ::CreateWindowExW(0, wc.lpszClassName, L"start probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 80, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int arg = 1;
  HWND wnd = nullptr;
  if (arg < argc && std::wcscmp(argv[arg], L"--window") == 0) {
    ++arg;
    wnd = MakeWindow();
    if (!wnd) return 3;
  }
  if (argc - arg != 2) return 4;
  const wchar_t* mode = argv[arg];
  const wchar_t* dll = argv[arg + 1];
  HMODULE module = nullptr;
  if (std::wcscmp(mode, L"mapped") == 0) {
    module = ::LoadLibraryExW(dll, nullptr, DONT_RESOLVE_DLL_REFERENCES);
  } else {
    if (std::wcscmp(mode, L"imports") == 0) {
      if (!::LoadLibraryW(L"ole32.dll") || !::LoadLibraryW(L"shlwapi.dll")) return 5;
    }
    module = ::LoadLibraryW(dll);
  }
  if (!module) return 2;
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
  MSG msg;
  if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return 6;
  if (wnd) ::DestroyWindow(wnd);
  return 0;
}
