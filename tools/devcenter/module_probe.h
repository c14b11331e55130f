#pragma once
// Whether a module is mapped into another process.
#include <windows.h>

#include <optional>
#include <string>

namespace dl::devcenter {

// Full path of the first module named `fileName` (without regard to case) loaded
// in process `processId`; nullopt when there is none or the process cannot be read.
std::optional<std::wstring> FindLoadedModule(DWORD processId, const std::wstring& fileName);

// Polls FindLoadedModule until it finds the module or `timeoutMs` has passed.
std::optional<std::wstring> WaitForLoadedModule(DWORD processId, const std::wstring& fileName, DWORD timeoutMs);

}  // namespace dl::devcenter
