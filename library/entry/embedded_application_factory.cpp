#include "library/entry/entry_services.h"

namespace dl::entry {

// The embedded application is not part of this library yet: processes run the hooks only.
IEmbeddedApplication* CreateEmbeddedApplication() noexcept { return nullptr; }

}  // namespace dl::entry
