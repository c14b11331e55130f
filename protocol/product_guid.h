#pragma once
// The product's GUID, which every shared name that belongs to this system carries: events,
// mappings, registered messages, atoms and window properties. Written once, so that the
// names cannot drift apart; the names themselves are composed from it where they are defined.
#define DL_PRODUCT_GUID L"{9C036AFE-384D-45E4-A34C-450946964A7D}"
// The session-local kernel namespace.
#define DL_LOCAL_NAMESPACE L"Local\\"

namespace dl::protocol {

inline constexpr wchar_t kProductGuid[] = DL_PRODUCT_GUID;

}  // namespace dl::protocol
