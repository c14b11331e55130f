#pragma once
// Names and numbers the host shares with the main program and the library.
#include <windows.h>

namespace dl::host {

inline constexpr wchar_t kStartupEventName[] = L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_CC64StartupEvent";
inline constexpr wchar_t kShutdownEventName[] = L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_CC64ShutdownEvent";
inline constexpr wchar_t kNeedReloginEventName[] =
    L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_CC64NeedReloginEvent";
inline constexpr wchar_t kSingleInstanceName[] = L"Local\\{095181D3-4FFE-461A-A3C8-5D89058BE038}_64";
inline constexpr wchar_t kFileLockPrefix[] = L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_FileLock_";

inline constexpr wchar_t kServiceMessageName[] = L"ServiceMessage_{9C036AFE-384D-45E4-A34C-450946964A7D}";
inline constexpr UINT kServiceMessageFallback = 33534;

// Service-message codes the host sends or handles.
inline constexpr WPARAM kCodeReady = 73;
inline constexpr WPARAM kCodeInstallMouseHook = 74;
inline constexpr WPARAM kCodeUninstallMouseHook = 75;

inline constexpr wchar_t kLibraryFileName[] = L"dlmemb64.dll";
inline constexpr wchar_t kMainProgramFileName[] = L"DeskloomCenter.exe";

inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quillon\\Deskloom";
inline constexpr wchar_t kEventLoggerKey[] = L"SOFTWARE\\Quillon\\Deskloom\\Command Center\\Plugins\\EventLogger";

// The service message's number: registered, or the agreed fallback.
UINT ServiceMessage() noexcept;

}  // namespace dl::host
