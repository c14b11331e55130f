#pragma once
// Registered window messages shared by name with the main program and between the library
// copies of all processes. Every side registers the same string, so the numbers agree;
// where registration fails, the agreed fallback number is used instead (0: none agreed).
#include "protocol/product_guid.h"

namespace dl::protocol {

struct RegisteredMessageName {
  const wchar_t* name;
  unsigned fallback;
};

inline constexpr wchar_t kServiceMessageName[] = L"ServiceMessage_" DL_PRODUCT_GUID;
inline constexpr unsigned kServiceMessageFallback = 33534;
inline constexpr wchar_t kHandshakeMessageName[] = L"Handshake" DL_PRODUCT_GUID;
inline constexpr wchar_t kWinEventMessageName[] = L"WinEventMessage_" DL_PRODUCT_GUID;
inline constexpr unsigned kWinEventMessageFallback = 33535;
inline constexpr wchar_t kInternalMessageName[] = L"{5D1A222D-F4F7-4503-BBFD-53404E674EA5}";
inline constexpr unsigned kInternalMessageFallback = 33533;
inline constexpr wchar_t kTrayMessageName[] = L"TrayIcon_" DL_PRODUCT_GUID;
inline constexpr wchar_t kTaskbarCreatedMessageName[] = L"TaskbarCreated";
// To a patched console window (before Windows 7): wParam kConsolePatchSetExStyle sets the
// extended style given in lParam, which the console's own process must do.
inline constexpr wchar_t kConsolePatchMessageName[] = L"Quillon_ConsolePatch_Message";
inline constexpr unsigned kConsolePatchSetExStyle = 9;

inline constexpr RegisteredMessageName kServiceMessage{kServiceMessageName, kServiceMessageFallback};
inline constexpr RegisteredMessageName kHandshakeMessage{kHandshakeMessageName, 0};
inline constexpr RegisteredMessageName kWinEventMessage{kWinEventMessageName, kWinEventMessageFallback};
inline constexpr RegisteredMessageName kInternalMessage{kInternalMessageName, kInternalMessageFallback};
inline constexpr RegisteredMessageName kTrayMessage{kTrayMessageName, 0};
inline constexpr RegisteredMessageName kTaskbarCreatedMessage{kTaskbarCreatedMessageName, 0};
inline constexpr RegisteredMessageName kConsolePatchMessage{kConsolePatchMessageName, 0};

}  // namespace dl::protocol
