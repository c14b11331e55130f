#include "host/host_library.h"

#include <cstdio>

#include "host/event_log.h"
#include "protocol/service_codes.h"
#include "platform/text.h"

namespace dl::host {
namespace {
using ExportFn = BOOL(WINAPI*)();
}

bool HostLibrary::Load(const std::wstring& path) noexcept {
  ::SetLastError(0);
  module_ = ::LoadLibraryW(path.c_str());
  log_.Write(L"LoadLibrary", L"\"" + path + L"\"", module_ != nullptr);
  return module_ != nullptr;
}

bool HostLibrary::CallExport(const char* name) noexcept {
  if (!module_) return false;
  auto fn = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
  if (!fn) return false;
  ::SetLastError(0);
  const bool ok = fn() != FALSE;
  std::wstring detail;
  for (const char* c = name; *c; ++c) detail += static_cast<wchar_t>(*c);
  log_.Write(L"CallEAProc", detail, ok);
  return ok;
}

bool HostLibrary::FilterCommand(const MSG& msg, UINT serviceMessage) noexcept {
  if (msg.hwnd != nullptr || msg.message != serviceMessage) return false;
  if (msg.wParam == protocol::kSvcInstallMouseHook && !mouseHook_) {
    mouseHook_ = CallExport("InstallMouseHook");
    return true;
  }
  if (msg.wParam == protocol::kSvcUninstallMouseHook && mouseHook_) {
    if (CallExport("UninstallMouseHook")) mouseHook_ = false;
    return true;
  }
  return false;
}

void HostLibrary::Shutdown() noexcept {
  if (mouseHook_ && CallExport("UninstallMouseHook")) mouseHook_ = false;
  if (!module_) return;
  CallExport("UninstallMainHooks");
  ::SetLastError(0);
  if (!::FreeLibrary(module_)) {
    wchar_t detail[32];
    std::swprintf(detail, std::size(detail), L"$%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(module_)));
    log_.Write(L"FreeLibrary", detail, false);
  }
  module_ = nullptr;
}

}  // namespace dl::host
