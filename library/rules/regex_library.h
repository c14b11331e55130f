#pragma once
// The regular-expression runtime: "pcre64.dll", loaded on first use from the folder
// that the service block names. One lock serialises loading, unloading and every test,
// so one compiled pattern is in use at a time. Every failure is a false answer; a
// pattern that fails is written to the event log once, not once per window.
#include <string>
#include <string_view>

namespace dl::rules {

inline constexpr wchar_t kRegexLibraryFileName[] = L"pcre64.dll";

void SetRegexLibraryFolder(std::wstring_view folder) noexcept;
[[nodiscard]] bool IsRegexLibraryConfigured() noexcept;
// Loads the module on the first call after configuration (a failed load is tried again
// on the next call) and answers whether it is loaded.
[[nodiscard]] bool IsRegexLibraryLoaded() noexcept;
void LockRegexLibrary() noexcept;
void UnlockRegexLibrary() noexcept;
// When loaded: forgets the entry points, unloads the module and clears the folder.
void UnloadRegexLibrary() noexcept;

// Pattern and subject in the process's ANSI code page.
[[nodiscard]] bool MatchesPattern(std::string_view pattern, std::string_view subject) noexcept;

}  // namespace dl::rules
