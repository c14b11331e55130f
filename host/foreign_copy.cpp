#include "host/foreign_copy.h"

#include <windows.h>

#include "platform/handles.h"
#include "platform/process_modules.h"

namespace dl::host {
namespace {
using SessionIdFn = BOOL(WINAPI*)(DWORD, DWORD*);

// Looked up at run time; without it every session id reads as -1.
DWORD SessionOf(SessionIdFn fn, DWORD processId) {
  DWORD session = static_cast<DWORD>(-1);
  if (!fn || !fn(processId, &session)) return static_cast<DWORD>(-1);
  return session;
}

std::wstring CallWithGrowingBuffer(DWORD (*query)(const std::wstring&, wchar_t*, DWORD), const std::wstring& in) {
  std::wstring out(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD n = query(in, out.data(), static_cast<DWORD>(out.size()));
    if (n == 0) return {};
    if (n < out.size()) {
      out.resize(n);
      return out;
    }
    out.resize(n + 1);
  }
  return {};
}
}  // namespace

std::wstring CanonicalPath(const std::wstring& path) {
  std::wstring full = CallWithGrowingBuffer(
      [](const std::wstring& in, wchar_t* buf, DWORD size) { return ::GetFullPathNameW(in.c_str(), size, buf, nullptr); },
      path);
  if (full.empty()) return path;
  // The loader reports long names; a short (8.3) spelling of the same file must compare equal.
  std::wstring longPath = CallWithGrowingBuffer(
      [](const std::wstring& in, wchar_t* buf, DWORD size) { return ::GetLongPathNameW(in.c_str(), buf, size); }, full);
  return longPath.empty() ? full : longPath;
}

bool IsForeignCopyLoaded(const std::wstring& chosenPath) {
  const std::wstring fileName = platform::FileNamePart(chosenPath);
  const std::wstring chosen = CanonicalPath(chosenPath);
  auto sessionIdOf = reinterpret_cast<SessionIdFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "ProcessIdToSessionId")));
  const DWORD ownSession = SessionOf(sessionIdOf, ::GetCurrentProcessId());

  for (DWORD pid : platform::ListProcessIds()) {
    if (SessionOf(sessionIdOf, pid) != ownSession) continue;
    platform::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) continue;
    for (const std::wstring& path : platform::ListModulePaths(process.get())) {
      if (!platform::EqualNoCase(platform::FileNamePart(path), fileName)) continue;
      if (platform::EqualNoCase(path, chosen)) continue;
      if (platform::EqualNoCase(CanonicalPath(path), chosen)) continue;
      return true;
    }
  }
  return false;
}

}  // namespace dl::host
