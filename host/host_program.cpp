#include "host/host_program.h"

#include <windows.h>

#include <string>

#include "platform/handles.h"

namespace dl::host {
namespace {
using InstallFn = BOOL(WINAPI*)();

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH * 4];
  DWORD n = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring folder(path, n);
  auto slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}
}  // namespace

int RunHost() noexcept {
  platform::UniqueModule library(::LoadLibraryW((OwnFolder() + L"dlmemb64.dll").c_str()));
  if (!library) return 0;
  auto install = reinterpret_cast<InstallFn>(reinterpret_cast<void*>(::GetProcAddress(library.get(), "InstallMainHooks")));
  auto uninstall = reinterpret_cast<InstallFn>(reinterpret_cast<void*>(::GetProcAddress(library.get(), "UninstallMainHooks")));
  if (!install || !uninstall) return 0;
  install();
  uninstall();
  return 0;
}
}  // namespace dl::host
