#pragma once
// Process and module enumeration over psapi, with buffers that grow until the
// whole list fits: a truncated list or path would give wrong answers.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace dl::platform {

// Ids of every process the caller can see.
std::vector<DWORD> ListProcessIds();

// Full paths of the modules loaded in `process` (opened with
// PROCESS_QUERY_INFORMATION | PROCESS_VM_READ). Empty when the list cannot be read.
std::vector<std::wstring> ListModulePaths(HANDLE process);

// Full path of one module of `process`, never truncated; nullopt when unavailable.
std::optional<std::wstring> ModulePath(HANDLE process, HMODULE module);

// The folder of the running executable, with a trailing "\"; empty when unavailable.
std::wstring ExecutableFolder();

// The part after the last "\" or "/".
std::wstring FileNamePart(const std::wstring& path);

// Ordinal comparison without regard to case.
bool EqualNoCase(const std::wstring& a, const std::wstring& b) noexcept;

}  // namespace dl::platform
