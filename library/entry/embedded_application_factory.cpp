#include "library/runtime/library_services.h"
#include "library/entry/plugin_host_environment.h"

namespace dl::entry {

// The process's embedded application (plug-in host), built by plugin_host_environment.cpp.
IEmbeddedApplication* CreateEmbeddedApplication() noexcept { return CreateProcessApplication(); }

}  // namespace dl::entry
