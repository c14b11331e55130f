// Placed as "DeskloomCenter.exe" beside a copy of the host: records how it was
// started (working folder, show command) in "DeskloomCenter.ran" beside itself,
// then stays until the named quit event is set (or 30 s pass), so that a second
// start finds it running.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t exe[MAX_PATH * 2];
  DWORD n = ::GetModuleFileNameW(nullptr, exe, static_cast<DWORD>(std::size(exe)));
  std::wstring record(exe, n);
  record = record.substr(0, record.find_last_of(L'\\') + 1) + L"DeskloomCenter.ran";
  wchar_t cwd[MAX_PATH * 2];
  DWORD c = ::GetCurrentDirectoryW(static_cast<DWORD>(std::size(cwd)), cwd);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  ::GetStartupInfoW(&si);
  std::wstring line = std::wstring(cwd, c) + L"|" +
                      std::to_wstring((si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1) + L"\n";
  HANDLE file = ::CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
  }
  HANDLE quit = ::CreateEventW(nullptr, TRUE, FALSE, L"Local\\dl_test_main_program_quit");
  if (quit) ::WaitForSingleObject(quit, 30000);
  return 0;
}
