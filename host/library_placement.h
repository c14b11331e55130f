#pragma once
// Which copy of the library to load: the one beside the host, or a checked copy
// in the user's temporary folder (so that the installed file stays replaceable).
#include <optional>
#include <string>

namespace dl::host {

// "%temp%\dlmemb64.dll" expanded; empty when the variable is not set.
std::wstring TempLibraryPath();

struct Placement {
  std::wstring path;         // what to load; empty when nothing may be loaded
  bool needRelogin = false;  // a stale temporary copy is in the way
};

// With `useTempCopy`, makes sure the temporary copy equals `ownPath` (deleting a
// differing one and copying afresh) and chooses it; otherwise chooses `ownPath`.
Placement PlaceLibrary(const std::wstring& ownPath, bool useTempCopy, const std::wstring& tempPath);

}  // namespace dl::host
