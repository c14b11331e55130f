#pragma once
// The command codes carried in wParam of the service message, the system's one private
// message. The host, the library copies of all processes and the main program use the same
// numbers, so they are listed here once.
#include <cstdint>

namespace dl::protocol {

enum ServiceCode : std::uintptr_t {
  kSvcAttachComplete = 1,           // posted by the extender's attach: app-frame windows replace their icons
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
  kSvcRefreshFrameIcons = 55,       // posted by the colour-change timer: app-frame icons are refreshed
  kSvcCloakWindow = 61,             // sent to the window: Result 1 when it was cloaked, else 0
  kSvcUncloakWindow = 62,           // sent to the window: Result 1 when it was uncloaked, else 0
  kSvcReleaseTrampoline = 65,       // lParam: window-procedure trampoline of a destroyed window
  kSvcUnhookThreadItem = 66,        // lParam: thread hook item to release on its own thread
  kSvcRefreshWindowState = 67,
  kSvcHostReady = 73,               // host to main program: lParam is the host's thread id
  kSvcInstallMouseHook = 74,        // main program to host
  kSvcUninstallMouseHook = 75,      // main program to host

  // Diagnostics, read-only: posted to any window of a process that runs the library, with
  // lParam the window to answer. The get-message hook of that process swallows it and posts
  // the answer window the service message with kSvcDebugEntryStateReply and the packed answer
  // (entry_state.h). Nothing else is changed; it exists so that tests and the stand-in main
  // program can see what the library did in a process.
  kSvcDebugEntryStateQuery = 0xDE01,
  kSvcDebugEntryStateReply = 0xDE02,
  // Diagnostics: the library in that process sends the main program a request with receiver
  // kDiagnosticsReceiver, command code the low 32 bits of lParam and, as data, its entry-state
  // bits packed as one integer field. Shows the request path end to end.
  kSvcDebugLinkRequest = 0xDE03,
};

inline constexpr wchar_t kDiagnosticsReceiver[] = L"Diagnostics";

}  // namespace dl::protocol
