#pragma once
// File names and registry keys that the main program, the host and the stand-in agree on.
namespace dl::protocol {

inline constexpr wchar_t kLibraryFileName[] = L"dlmemb64.dll";
inline constexpr wchar_t kHostFileName[] = L"DeskloomCenter64.exe";
inline constexpr wchar_t kMainProgramFileName[] = L"DeskloomCenter.exe";
inline constexpr wchar_t kEventLogFileName[] = L"CenterEvents.log";
// Where the event log goes, in the temporary folder, when there is no configuration folder.
inline constexpr wchar_t kInitErrorLogFileName[] = L"Deskloom_init_errors.log";

inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quillon\\Deskloom";
inline constexpr wchar_t kEventLoggerKey[] = L"SOFTWARE\\Quillon\\Deskloom\\Command Center\\Plugins\\EventLogger";

}  // namespace dl::protocol
