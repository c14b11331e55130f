// Keeps a library loaded in a process of its own: "library_holder <dll>".
// Ends after 120 s at the latest so that it never outlives a test run.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  HMODULE module = ::LoadLibraryW(argv[1]);
  if (!module) return 1;
  ::Sleep(120000);
  return 0;
}
