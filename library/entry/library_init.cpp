#include "library/entry/library_init.h"

namespace dl::entry {
namespace {
HINSTANCE g_instance = nullptr;
}

void OnProcessAttach(HINSTANCE instance) noexcept {
  g_instance = instance;
  ::DisableThreadLibraryCalls(instance);
}
void OnProcessDetach(bool) noexcept {}
void OnThreadAttach() noexcept {}
void OnThreadDetach() noexcept {}
HINSTANCE LibraryInstance() noexcept { return g_instance; }
}  // namespace dl::entry
