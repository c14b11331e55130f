#pragma once
// Names of the kernel objects and global atoms that the host, the library copies of all
// processes and the main program find each other by.
#include "protocol/product_guid.h"

namespace dl::protocol {

// Events that the main program creates and the host sets or waits for.
inline constexpr wchar_t kStartupEventName[] = DL_LOCAL_NAMESPACE DL_PRODUCT_GUID L"_CC64StartupEvent";
inline constexpr wchar_t kShutdownEventName[] = DL_LOCAL_NAMESPACE DL_PRODUCT_GUID L"_CC64ShutdownEvent";
inline constexpr wchar_t kNeedReloginEventName[] =
    DL_LOCAL_NAMESPACE DL_PRODUCT_GUID L"_CC64NeedReloginEvent";

// The host's single-instance mapping, and the prefix of its per-file locks.
inline constexpr wchar_t kSingleInstanceName[] = L"Local\\{095181D3-4FFE-461A-A3C8-5D89058BE038}_64";
inline constexpr wchar_t kFileLockPrefix[] = DL_LOCAL_NAMESPACE DL_PRODUCT_GUID L"_FileLock_";

// Process-local storage: this prefix followed by the process id in eight upper-case hex digits.
inline constexpr wchar_t kLocalStoragePrefix[] = DL_LOCAL_NAMESPACE DL_PRODUCT_GUID L"_EALocalStorageV8147_";

// Global atoms that name window properties on foreign windows.
inline constexpr wchar_t kNoninvasiveAtomName[] = DL_PRODUCT_GUID L"_Noninvasive";
inline constexpr wchar_t kRehookedAtomName[] = L"Rehooked_" DL_PRODUCT_GUID;
inline constexpr wchar_t kParkedTrampolineAtomName[] = L"{76CC9A51-21FD-4A2A-83A1-8575B5359A9F}";
// The property by which a patched console window names its observer window.
inline constexpr wchar_t kConsoleObserverAtomName[] = L"Quillon_ConsolePatch_Observer";

}  // namespace dl::protocol
