#pragma once
// The process's messenger client: created with the embedded application, reachable by the
// hook procedures through the library's service slots, and the sink of the event log.
#include "library/entry/embedded_application.h"

namespace dl::entry {

// Creates the client, makes it the process's messenger client (service slots, event-log
// sink) and fills the application's messenger members. Nothing happens if it cannot be built.
void CreateProcessMessenger(ApplicationEnvironment& environment) noexcept;

// The messenger client's part of the diagnostics answer (EntryStateBits).
[[nodiscard]] unsigned MessengerStateBits() noexcept;
// Sends the diagnostics request (kSvcDebugLinkRequest) through the process's client.
void SendDiagnosticRequest(int commandCode, unsigned entryState) noexcept;

}  // namespace dl::entry
