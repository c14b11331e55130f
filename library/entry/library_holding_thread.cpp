#include "library/entry/library_holding_thread.h"

#include <new>

#include "library/entry/process_local_storage.h"

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
  }
  StorageCountOut();
  // Returns into kernel32, not into the library it just released.
  ::FreeLibraryAndExitThread(start.module, result);
}

HMODULE ReferenceThisLibrary() noexcept {
  using GetModuleHandleExAFn = BOOL(WINAPI*)(DWORD, LPCSTR, HMODULE*);
  auto fn = reinterpret_cast<GetModuleHandleExAFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetModuleHandleExA")));
  HMODULE module = nullptr;
  if (fn) {
    if (!fn(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&HoldingThreadMain), &module))
      module = nullptr;
  } else {
    module = ::LoadLibraryW(L"dlmemb64.dll");
  }
  return module;
}

}  // namespace

bool StartLibraryHoldingThread(HoldingThreadFunction function, void* argument, HANDLE* threadHandle) noexcept {
  if (threadHandle) *threadHandle = nullptr;
  if (!function) return false;
  HMODULE module = ReferenceThisLibrary();
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
