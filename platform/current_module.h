#pragma once
// The module this code is linked into: the library's own copy when the code is part of the
// library, the program when it is part of a program. The linker's __ImageBase is the start of
// that image, so the answer never depends on a file name (two copies of the library may be
// loaded at once) or on an address lookup that can fail.
#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace dl::platform {

[[nodiscard]] inline HMODULE CurrentModule() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

// Takes a reference of its own on the current module, for a thread that may outlive its
// caller and leaves through FreeLibraryAndExitThread (or gives it back with FreeLibrary).
// Null when the system refuses.
[[nodiscard]] inline HMODULE ReferenceCurrentModule() noexcept {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&__ImageBase),
                            &module))
    return nullptr;
  return module;
}

}  // namespace dl::platform
