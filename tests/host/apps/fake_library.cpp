// Stands in for dlmemb64.dll beside a copy of the host: its exports install
// nothing, they record each call (and the library's arrival and departure) in
// the file named by DL_FAKELIB_RECORD. DL_FAKELIB_FAIL names an export that
// answers false.
#include <windows.h>

#include <cstring>
#include <string>

namespace {
std::wstring Env(const wchar_t* name) {
  wchar_t buf[1024];
  DWORD n = ::GetEnvironmentVariableW(name, buf, static_cast<DWORD>(std::size(buf)));
  return n && n < std::size(buf) ? std::wstring(buf, n) : std::wstring();
}

void Record(const char* what) noexcept {
  std::wstring path = Env(L"DL_FAKELIB_RECORD");
  if (path.empty()) return;
  HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string line = std::string(what) + "\n";
  DWORD written = 0;
  ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(file);
}

BOOL Answer(const char* name) noexcept {
  Record(name);
  std::wstring fail = Env(L"DL_FAKELIB_FAIL");
  std::wstring wide(name, name + std::strlen(name));
  if (fail == wide) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}
}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI InstallMainHooks() noexcept { return Answer("InstallMainHooks"); }
extern "C" __declspec(dllexport) BOOL WINAPI UninstallMainHooks() noexcept { return Answer("UninstallMainHooks"); }
#ifdef DL_FAKE_MOUSE_EXPORTS
extern "C" __declspec(dllexport) BOOL WINAPI InstallMouseHook() noexcept { return Answer("InstallMouseHook"); }
extern "C" __declspec(dllexport) BOOL WINAPI UninstallMouseHook() noexcept { return Answer("UninstallMouseHook"); }
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Record("attach");
  if (reason == DLL_PROCESS_DETACH) Record("detach");
  return TRUE;
}
