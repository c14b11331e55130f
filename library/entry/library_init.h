#pragma once
// Library initialisation and teardown, called from DllMain.
#include <windows.h>

namespace dl::entry {
void OnProcessAttach(HINSTANCE instance) noexcept;
void OnProcessDetach(bool processTerminating) noexcept;
void OnThreadAttach() noexcept;
void OnThreadDetach() noexcept;
HINSTANCE LibraryInstance() noexcept;
}  // namespace dl::entry
