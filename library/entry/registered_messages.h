#pragma once
// Window messages and atoms shared by name between the library, the host and the main
// program. Every side registers the same strings, so the numbers agree across processes.
#include <windows.h>

namespace dl::entry {

inline constexpr wchar_t kServiceMessageName[] = L"ServiceMessage_{9C036AFE-384D-45E4-A34C-450946964A7D}";
inline constexpr UINT kServiceMessageFallback = 33534;
inline constexpr wchar_t kHandshakeMessageName[] = L"Handshake{9C036AFE-384D-45E4-A34C-450946964A7D}";
inline constexpr wchar_t kWinEventMessageName[] = L"WinEventMessage_{9C036AFE-384D-45E4-A34C-450946964A7D}";
inline constexpr UINT kWinEventMessageFallback = 33535;
inline constexpr wchar_t kInternalMessageName[] = L"{5D1A222D-F4F7-4503-BBFD-53404E674EA5}";
inline constexpr UINT kInternalMessageFallback = 33533;
inline constexpr wchar_t kTrayMessageName[] = L"TrayIcon_{9C036AFE-384D-45E4-A34C-450946964A7D}";
inline constexpr wchar_t kTaskbarCreatedMessageName[] = L"TaskbarCreated";

// Global atom naming the window property of windows that are extended without subclassing.
inline constexpr wchar_t kNoninvasiveAtomName[] = L"{9C036AFE-384D-45E4-A34C-450946964A7D}_Noninvasive";
// Registering this clipboard format name yields the class atom of message-only windows' parent.
inline constexpr wchar_t kMessageClassName[] = L"Message";

// Class of the observer window that stands in for a console window; its user data is the console.
inline constexpr wchar_t kConsoleObserverClassName[] = L"Quillon_ConsolePatch_ObserverClass";

// Command codes carried in wParam of the service message.
enum ServiceCode : WPARAM {
  kSvcConsiderWindow = 2,           // window procedure hook: consider the window for a rule
  kSvcUnregisterWindow = 3,         // lParam: the kind of unregistration
  kSvcCaptionChanged = 6,           // re-examine the window's caption
  kSvcQueryHookInPlace = 10,        // an extender with its window procedure in place answers kSvcHookInPlace
  kSvcNoninvasiveAfter = 19,        // lParam: record saved by the get-message hook for AfterMessage
  kSvcConsiderLater = 24,           // deferred window consideration from the window procedure hook
  kSvcRestoreHook = 30,             // put the extender's window procedure back in place
  kSvcSetCapture = 33,              // lParam: window that takes the mouse capture
  kSvcReleaseCapture = 34,
  kSvcHookInPlace = 42,             // answer to kSvcQueryHookInPlace
  kSvcReleaseTrampoline = 65,       // lParam: window-procedure trampoline of a destroyed window
  kSvcUnhookThreadItem = 66,        // lParam: thread hook item to release on its own thread
  kSvcRefreshWindowState = 67,
  kSvcHostReady = 73,               // host to main program: lParam is the host's thread id

  // Diagnostics, read-only: posted to any window of a process that runs the library, with
  // lParam the window to answer. The get-message hook of that process swallows it and posts
  // the answer window the service message with kSvcDebugEntryStateReply, lParam =
  // EntryStateBits in the low 32 bits and the answering process id in the high 32 bits.
  // Nothing else is changed; it exists so that tests can see what the library did in a process.
  kSvcDebugEntryStateQuery = 0xDE01,
  kSvcDebugEntryStateReply = 0xDE02,
  // Diagnostics: the library in that process sends the main program a request with receiver
  // kDiagnosticsReceiver, command code the low 32 bits of lParam and, as data, its entry-state
  // bits packed as one integer field. Shows the request path end to end.
  kSvcDebugLinkRequest = 0xDE03,
};

inline constexpr wchar_t kDiagnosticsReceiver[] = L"Diagnostics";

// Bits of the diagnostics answer.
enum EntryStateBits : unsigned {
  kEntryApplicationStarted = 1u << 0,  // the process passed the gate: the application step ran
  kEntryApplicationPresent = 1u << 1,  // an embedded application object exists
  kEntryInertProcess = 1u << 2,
  kEntryReducedHookProcess = 1u << 3,
  kEntryShellViewCompat = 1u << 4,
  kEntryLinkRegistered = 1u << 5,       // the messenger client is registered with server instance 0
  kEntryShellLinkRegistered = 1u << 6,  // ... and with instance 1
  kEntryUnloading = 1u << 7,            // the application is unloading
  // Bits 8-15: the messenger client's state + 1 (0: no client).
};
constexpr unsigned kEntryLinkStateShift = 8;
constexpr int EntryLinkState(unsigned bits) noexcept { return static_cast<int>((bits >> kEntryLinkStateShift) & 0xFFu) - 1; }

// The diagnostics answer's lParam: the state bits in the low 32 bits, the answering
// process id in the high 32 bits.
constexpr LPARAM PackEntryStateReply(unsigned bits, DWORD processId) noexcept {
  return static_cast<LPARAM>(static_cast<ULONG_PTR>(bits) | (static_cast<ULONG_PTR>(processId) << 32));
}
constexpr unsigned EntryStateReplyBits(LPARAM reply) noexcept {
  return static_cast<unsigned>(static_cast<ULONG_PTR>(reply) & 0xFFFFFFFFu);
}
constexpr DWORD EntryStateReplyProcess(LPARAM reply) noexcept {
  return static_cast<DWORD>(static_cast<ULONG_PTR>(reply) >> 32);
}

// RegisterWindowMessageW, or the agreed number where registration fails (0 = none agreed).
inline UINT RegisterMessageWithFallback(const wchar_t* name, UINT fallback) noexcept {
  const UINT message = ::RegisterWindowMessageW(name);
  return message != 0 ? message : fallback;
}

inline UINT RegisterServiceMessage() noexcept {
  return RegisterMessageWithFallback(kServiceMessageName, kServiceMessageFallback);
}

}  // namespace dl::entry
