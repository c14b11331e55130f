#pragma once
// Registering the shared window messages, with the agreed fallback numbers.
#include <windows.h>

#include "protocol/message_names.h"

namespace dl::platform {

// RegisterWindowMessageW, or the agreed number where registration fails (0 = none agreed).
[[nodiscard]] UINT RegisterMessageWithFallback(const wchar_t* name, UINT fallback) noexcept;
[[nodiscard]] UINT RegisterMessageWithFallback(const protocol::RegisteredMessageName& message) noexcept;

// The service message's number, registered once per module and then read without a call.
[[nodiscard]] UINT ServiceMessage() noexcept;

}  // namespace dl::platform
