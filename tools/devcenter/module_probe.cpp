#include "tools/devcenter/module_probe.h"

#include "platform/handles.h"
#include "platform/process_modules.h"

namespace dl::devcenter {

std::optional<std::wstring> FindLoadedModule(DWORD processId, const std::wstring& fileName) {
  platform::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process) return std::nullopt;
  for (const std::wstring& path : platform::ListModulePaths(process.get()))
    if (platform::EqualNoCase(platform::FileNamePart(path), fileName)) return path;
  return std::nullopt;
}

std::optional<std::wstring> WaitForLoadedModule(DWORD processId, const std::wstring& fileName, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (auto path = FindLoadedModule(processId, fileName)) return path;
    if (::GetTickCount64() >= deadline) return std::nullopt;
    ::Sleep(50);  // poll interval, bounded by the deadline above
  }
}

}  // namespace dl::devcenter
