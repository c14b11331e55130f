// The DLL entry point: only what must happen at load and unload, nothing that waits.
#include <windows.h>

#include "library/entry/library_init.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      dl::entry::OnProcessAttach(instance);
      break;
    case DLL_PROCESS_DETACH:
      // reserved != nullptr: the process is terminating; tear nothing down then.
      dl::entry::OnProcessDetach(reserved != nullptr);
      break;
    case DLL_THREAD_ATTACH:
      dl::entry::OnThreadAttach();
      break;
    case DLL_THREAD_DETACH:
      dl::entry::OnThreadDetach();
      break;
    default:
      break;
  }
  return TRUE;
}
