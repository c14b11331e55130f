#pragma once
// Library initialisation and teardown in a process, called from DllMain under the loader lock.
#include <windows.h>

namespace dl::entry {

void OnProcessAttach(HINSTANCE instance) noexcept;
// processTerminating: DllMain's reserved argument was non-null (the process is ending).
void OnProcessDetach(bool processTerminating) noexcept;
void OnThreadAttach() noexcept;
void OnThreadDetach() noexcept;
HINSTANCE LibraryInstance() noexcept;
// Whether the last process-detach notice said the process is ending.
bool ProcessIsTerminating() noexcept;
// EntryStateBits describing what initialisation did in this process.
unsigned CurrentEntryState() noexcept;

}  // namespace dl::entry
