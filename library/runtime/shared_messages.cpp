#include "library/runtime/shared_messages.h"

#include "platform/registered_messages.h"
#include "protocol/message_names.h"
#include "protocol/object_names.h"

namespace dl::entry {
namespace {
constinit SharedMessages g_messages{};
}

void RegisterSharedMessages() noexcept {
  g_messages.service = platform::ServiceMessage();
  g_messages.handshake = platform::RegisterMessageWithFallback(protocol::kHandshakeMessage);
  g_messages.winEvent = platform::RegisterMessageWithFallback(protocol::kWinEventMessage);
  g_messages.internal = platform::RegisterMessageWithFallback(protocol::kInternalMessage);
  g_messages.tray = platform::RegisterMessageWithFallback(protocol::kTrayMessage);
  g_messages.taskbarCreated = platform::RegisterMessageWithFallback(protocol::kTaskbarCreatedMessage);
  if (g_messages.noninvasiveAtom == 0) g_messages.noninvasiveAtom = ::GlobalAddAtomW(protocol::kNoninvasiveAtomName);
}

void ReleaseSharedAtoms() noexcept {
  if (g_messages.noninvasiveAtom != 0) ::GlobalDeleteAtom(g_messages.noninvasiveAtom);
  g_messages.noninvasiveAtom = 0;
}

const SharedMessages& Messages() noexcept { return g_messages; }

}  // namespace dl::entry
