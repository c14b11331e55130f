#pragma once
// Threads that keep this copy of the library mapped until their function has returned, even if
// everything else lets go of it meanwhile.
#include <windows.h>

namespace dl::entry {

using HoldingThreadFunction = DWORD (*)(void* argument) noexcept;

// Starts function(argument) on a new thread holding a reference on the library and counting in
// the busy counter. With threadHandle, the caller gets (and owns) the thread's handle.
// False when the thread could not be started; nothing is held then.
[[nodiscard]] bool StartLibraryHoldingThread(HoldingThreadFunction function, void* argument,
                                             HANDLE* threadHandle = nullptr) noexcept;

}  // namespace dl::entry
