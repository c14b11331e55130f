#include "platform/registered_messages.h"

namespace dl::platform {

UINT RegisterMessageWithFallback(const wchar_t* name, UINT fallback) noexcept {
  const UINT message = ::RegisterWindowMessageW(name);
  return message != 0 ? message : fallback;
}

UINT RegisterMessageWithFallback(const protocol::RegisteredMessageName& message) noexcept {
  return RegisterMessageWithFallback(message.name, message.fallback);
}

UINT ServiceMessage() noexcept {
  // A trivially destructible static: nothing runs for it when the library unloads.
  static const UINT message = RegisterMessageWithFallback(protocol::kServiceMessage);
  return message;
}

}  // namespace dl::platform
