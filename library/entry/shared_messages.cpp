#include "library/entry/shared_messages.h"

#include "library/entry/registered_messages.h"

namespace dl::entry {
namespace {
constinit SharedMessages g_messages{};
}

void RegisterSharedMessages() noexcept {
  g_messages.service = RegisterMessageWithFallback(kServiceMessageName, kServiceMessageFallback);
  g_messages.handshake = RegisterMessageWithFallback(kHandshakeMessageName, 0);
  g_messages.winEvent = RegisterMessageWithFallback(kWinEventMessageName, kWinEventMessageFallback);
  g_messages.internal = RegisterMessageWithFallback(kInternalMessageName, kInternalMessageFallback);
  g_messages.tray = RegisterMessageWithFallback(kTrayMessageName, 0);
  g_messages.taskbarCreated = RegisterMessageWithFallback(kTaskbarCreatedMessageName, 0);
  if (g_messages.noninvasiveAtom == 0) g_messages.noninvasiveAtom = ::GlobalAddAtomW(kNoninvasiveAtomName);
  g_messages.messageClassAtom = static_cast<ATOM>(::RegisterClipboardFormatW(kMessageClassName));
}

void ReleaseSharedAtoms() noexcept {
  if (g_messages.noninvasiveAtom != 0) ::GlobalDeleteAtom(g_messages.noninvasiveAtom);
  g_messages.noninvasiveAtom = 0;
}

const SharedMessages& Messages() noexcept { return g_messages; }

}  // namespace dl::entry
