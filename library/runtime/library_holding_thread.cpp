#include "library/runtime/library_holding_thread.h"

#include <new>

#include "library/runtime/process_local_storage.h"
#include "platform/callback_guard.h"
#include "platform/current_module.h"

namespace dl::entry {
namespace {

struct StartBlock {
  HoldingThreadFunction function;
  void* argument;
  HANDLE thread;  // null once the caller took it
  HMODULE module;
};

DWORD WINAPI HoldingThreadMain(void* parameter) noexcept {
  auto* block = static_cast<StartBlock*>(parameter);
  const StartBlock start = *block;
  delete block;
  if (start.thread) ::CloseHandle(start.thread);
  DWORD result = 0;
  try {
    result = start.function(start.argument);
  } catch (...) {
    platform::RecordCallbackFailure("library_holding_thread: HoldingThreadMain");
  }
  StorageCountOut();
  // Returns into kernel32, not into the library it just released.
  ::FreeLibraryAndExitThread(start.module, result);
}

}  // namespace

bool StartLibraryHoldingThread(HoldingThreadFunction function, void* argument, HANDLE* threadHandle) noexcept {
  if (threadHandle) *threadHandle = nullptr;
  if (!function) return false;
  // The copy this code runs in, never one found by file name: with two copies loaded, a name
  // would pin the other one.
  HMODULE module = platform::ReferenceCurrentModule();
  if (!module) return false;
  StorageCountIn();
  auto* block = new (std::nothrow) StartBlock{function, argument, nullptr, module};
  HANDLE thread = block ? ::CreateThread(nullptr, 0, &HoldingThreadMain, block, CREATE_SUSPENDED, nullptr) : nullptr;
  if (!thread) {
    delete block;
    StorageCountOut();
    ::FreeLibrary(module);
    return false;
  }
  if (threadHandle) *threadHandle = thread;
  else block->thread = thread;
  ::ResumeThread(thread);
  return true;
}

}  // namespace dl::entry
