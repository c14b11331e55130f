#pragma once
// Binds the embedded application to this process: its plug-ins, the hook record, the
// handler-window search, and the face the hook procedures see.
#include "library/entry/embedded_application.h"
#include "library/runtime/library_services.h"

namespace dl::entry {

[[nodiscard]] ApplicationEnvironment ProcessApplicationEnvironment();

// Registers the type names under which rule descriptions create this library's
// triggers, agents and actions; once per library load.
void RegisterLibraryClasses() noexcept;

// The application for this process, seen through the hook procedures' interface;
// its Release drops the application. nullptr when it could not be built.
[[nodiscard]] IEmbeddedApplication* CreateProcessApplication() noexcept;

// Creates this process's embedded application, or none while the library carries none.
IEmbeddedApplication* CreateEmbeddedApplication() noexcept;

}  // namespace dl::entry
