#pragma once
#include <string>

namespace dl::host {

// True when a module with the file name of `chosenPath` but another full path is
// loaded in any process of the current session (names and paths compared
// without regard to case, after both are brought to their long form).
bool IsForeignCopyLoaded(const std::wstring& chosenPath);

// `path` as a full long path where the file exists; unchanged otherwise.
std::wstring CanonicalPath(const std::wstring& path);

}  // namespace dl::host
