#pragma once
// Names of the kernel objects and global atoms that the host, the library copies of all
// processes and the main program find each other by.
namespace dl::protocol {

// Events that the main program creates and the host sets or waits for.
inline constexpr wchar_t kStartupEventName[] = L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_CC64StartupEvent";
inline constexpr wchar_t kShutdownEventName[] = L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_CC64ShutdownEvent";
inline constexpr wchar_t kNeedReloginEventName[] =
    L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_CC64NeedReloginEvent";

// The host's single-instance mapping, and the prefix of its per-file locks.
inline constexpr wchar_t kSingleInstanceName[] = L"Local\\{095181D3-4FFE-461A-A3C8-5D89058BE038}_64";
inline constexpr wchar_t kFileLockPrefix[] = L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_FileLock_";

// Process-local storage: this prefix followed by the process id in eight upper-case hex digits.
inline constexpr wchar_t kLocalStoragePrefix[] = L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_EALocalStorageV8147_";

// Global atoms that name window properties on foreign windows.
inline constexpr wchar_t kNoninvasiveAtomName[] = L"{9C036AFE-384D-45E4-A34C-450946964A7D}_Noninvasive";
inline constexpr wchar_t kRehookedAtomName[] = L"Rehooked_{9C036AFE-384D-45E4-A34C-450946964A7D}";
inline constexpr wchar_t kParkedTrampolineAtomName[] = L"{76CC9A51-21FD-4A2A-83A1-8575B5359A9F}";
// The property by which a patched console window names its observer window.
inline constexpr wchar_t kConsoleObserverAtomName[] = L"Quillon_ConsolePatch_Observer";

}  // namespace dl::protocol
