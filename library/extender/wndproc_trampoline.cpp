#include "library/extender/wndproc_trampoline.h"

#include <array>
#include <atomic>
#include <cstring>

#include "library/runtime/process_local_storage.h"
#include "library/extender/wndproc_trampoline_layout.h"
#include "platform/handles.h"

namespace dl::extender {
namespace {

namespace L = trampoline_layout;
using Byte = unsigned char;

// Dispatch stub, entered by an entry's `call rax`: [rsp] holds the entry's method pair. Once that
// address is popped the stack is the window procedure's caller's again. The entry's call left
// its return address in the processor's return predictor too; the stub's first `ret` takes it
// off there (one misprediction), or every return up the caller's chain would be mispredicted.
// The stub's function (for the unwind information) begins after that `ret`; before it, the
// stack looks like a leaf's.
constexpr Byte kDispatchStub[] = {
    0x41, 0x5A,                                      // pop  r10            ; &method pair
    0x4C, 0x8D, 0x1D, 0x03, 0x00, 0x00, 0x00,        // lea  r11, [rip+3]   ; the instruction after the ret
    0x41, 0x53,                                      // push r11
    0xC3,                                            // ret                 ; to the next instruction
    0x53, 0x56, 0x57,                                // push rbx, rsi, rdi
    0x48, 0x83, 0xEC, 0x40,                          // sub  rsp, 64        ; shadow + message record
    0x4C, 0x89, 0xD3,                                // mov  rbx, r10
    0x48, 0x89, 0xCE,                                // mov  rsi, rcx       ; window
    0x89, 0xD0,                                      // mov  eax, edx       ; message, widened
    0x48, 0x89, 0x44, 0x24, 0x20,                    // mov  [rsp+32], rax
    0x4C, 0x89, 0x44, 0x24, 0x28,                    // mov  [rsp+40], r8   ; wParam
    0x4C, 0x89, 0x4C, 0x24, 0x30,                    // mov  [rsp+48], r9   ; lParam
    0x48, 0xC7, 0x44, 0x24, 0x38, 0, 0, 0, 0,        // mov  qword [rsp+56], 0 ; Result
    0x48, 0xBF, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0,  // mov  rdi, busy counter
    0xF0, 0xFF, 0x07,                                // lock inc dword [rdi] ; before the object is looked at
    0x48, 0x8B, 0x4B, 0x08,                          // mov  rcx, [rbx+8]   ; object
    0xBA, 0x08, 0x00, 0x00, 0x00,                    // mov  edx, 8
    0x48, 0xB8, 0x78, 0x56, 0x34, 0x32, 0, 0, 0, 0,  // mov  rax, IsBadReadPtr
    0xFF, 0xD0,                                      // call rax
    0x89, 0xC0,                                      // mov  eax, eax       ; a BOOL, widened
    0x85, 0xC0,                                      // test eax, eax
    0x75, 0x13,                                      // jnz  bad            ; the non-zero answer is the result
    0x48, 0x8B, 0x4B, 0x08,                          // mov  rcx, [rbx+8]   ; object
    0x48, 0x89, 0xF2,                                // mov  rdx, rsi       ; window
    0x4C, 0x8D, 0x44, 0x24, 0x20,                    // lea  r8, [rsp+32]   ; &message record
    0xFF, 0x13,                                      // call [rbx]          ; method code
    0x48, 0x8B, 0x44, 0x24, 0x38,                    // mov  rax, [rsp+56]  ; Result
    0xF0, 0xFF, 0x0F,                                // bad: lock dec dword [rdi]
    0x48, 0x83, 0xC4, 0x40,                          // add  rsp, 64
    0x5F, 0x5E, 0x5B,                                // pop  rdi, rsi, rbx
    0xC3,                                            // ret
};
static_assert(sizeof(kDispatchStub) == L::kDispatchStubCodeSize);
static_assert(L::kDispatchStubOffset + sizeof(kDispatchStub) <= L::kForwarderHelperOffset);

// Shared tail of the forwarder entries (rax = procedure, r10 = CallWindowProcW/A): calls
// CallWindowProc(proc, window, message, wParam, lParam) in a frame of its own, so the fifth
// argument never lands in the caller's frame.
constexpr Byte kForwarderHelper[] = {
    0x48, 0x83, 0xEC, 0x38,        // sub  rsp, 56
    0x4C, 0x89, 0x4C, 0x24, 0x20,  // mov  [rsp+32], r9  ; lParam
    0x4D, 0x89, 0xC1,              // mov  r9, r8        ; wParam
    0x49, 0x89, 0xD0,              // mov  r8, rdx       ; message
    0x48, 0x89, 0xCA,              // mov  rdx, rcx      ; window
    0x48, 0x89, 0xC1,              // mov  rcx, rax      ; procedure
    0x41, 0xFF, 0xD2,              // call r10
    0x48, 0x83, 0xC4, 0x38,        // add  rsp, 56
    0xC3,                          // ret
};
static_assert(sizeof(kForwarderHelper) <= L::kForwarderHelperSize);

// Unwind information of the dispatch stub and the forwarder helper, written into every block:
// a stack walk or an exception that passes through a window procedure reached through a
// trampoline unwinds through them like through compiled code. Entries themselves never move the
// stack (an entry's call is undone by the stub's first instruction), so they need none.
constexpr Byte kDispatchUnwindInfo[] = {
    0x11, 0x07, 0x04, 0x00,  // version 1 with an unwind handler, a 7-byte prologue, 4 codes
    0x07, 0x72,              // at 7: UWOP_ALLOC_SMALL 64
    0x03, 0x70,              // at 3: UWOP_PUSH_NONVOL rdi
    0x02, 0x60,              // at 2: UWOP_PUSH_NONVOL rsi
    0x01, 0x30,              // at 1: UWOP_PUSH_NONVOL rbx
    0, 0, 0, 0,              // the handler's offset in the block, written at copy time
};
static_assert(sizeof(kDispatchUnwindInfo) == L::kDispatchUnwindInfoSize);
constexpr Byte kHelperUnwindInfo[] = {
    0x01, 0x04, 0x01, 0x00,  // version 1, a 4-byte prologue, 1 code
    0x04, 0x62,              // at 4: UWOP_ALLOC_SMALL 56
    0x00, 0x00,
};
static_assert(sizeof(kHelperUnwindInfo) == L::kHelperUnwindInfoSize);

// Unwind handler of the dispatch stub. An exception of the window's own code (its previous
// procedure, called from the method) may unwind through the stub to the application's catch;
// the stub's decrement is then skipped, so the handler counts the call out. It lives in the
// block, not in the library image: after the count reaches zero no library code runs.
constexpr Byte kUnwindHandler[] = {
    0xF6, 0x41, 0x04, 0x06,                          // test byte [rcx+4], 6 ; unwinding or exit unwind
    0x74, 0x0D,                                      // jz   done
    0x48, 0xB8, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0,  // mov  rax, busy counter
    0xF0, 0xFF, 0x08,                                // lock dec dword [rax]
    0xB8, 0x01, 0x00, 0x00, 0x00,                    // done: mov eax, 1 ; ExceptionContinueSearch
    0xC3,                                            // ret
};
static_assert(sizeof(kUnwindHandler) == L::kUnwindHandlerSize);

void WriteUnwindInfo(Byte* block) noexcept {
  std::memcpy(block + L::kDispatchUnwindInfoOffset, kDispatchUnwindInfo, sizeof kDispatchUnwindInfo);
  const auto handler = static_cast<DWORD>(L::kUnwindHandlerOffset);
  std::memcpy(block + L::kDispatchUnwindInfoOffset + 12, &handler, sizeof handler);
  std::memcpy(block + L::kHelperUnwindInfoOffset, kHelperUnwindInfo, sizeof kHelperUnwindInfo);
  const RUNTIME_FUNCTION table[2] = {
      {static_cast<DWORD>(L::kDispatchStubOffset + L::kDispatchFunctionStart),
       static_cast<DWORD>(L::kDispatchStubOffset + L::kDispatchStubCodeSize),
       static_cast<DWORD>(L::kDispatchUnwindInfoOffset)},
      {static_cast<DWORD>(L::kForwarderHelperOffset),
       static_cast<DWORD>(L::kForwarderHelperOffset + sizeof kForwarderHelper),
       static_cast<DWORD>(L::kHelperUnwindInfoOffset)},
  };
  std::memcpy(block + L::kUnwindTableOffset, table, sizeof table);
}

// The block lives as long as the process, so the registration made here stays valid after the
// copy that made it has been unloaded; the copies after it find the blocks registered.
void RegisterUnwindInfo(Byte* block) noexcept {
  ::RtlAddFunctionTable(reinterpret_cast<PRUNTIME_FUNCTION>(block + L::kUnwindTableOffset), 2,
                        reinterpret_cast<DWORD64>(block));
}

struct UserProcs {
  WNDPROC defA = nullptr, defW = nullptr;
  void* callA = nullptr;
  void* callW = nullptr;
  void* isBadReadPtr = nullptr;
};

const UserProcs& Procs() noexcept {
  static const UserProcs procs = [] {
    UserProcs p;
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (!user32) user32 = ::LoadLibraryW(L"user32.dll");
    p.defA = reinterpret_cast<WNDPROC>(reinterpret_cast<void*>(::GetProcAddress(user32, "DefWindowProcA")));
    p.defW = reinterpret_cast<WNDPROC>(reinterpret_cast<void*>(::GetProcAddress(user32, "DefWindowProcW")));
    p.callA = reinterpret_cast<void*>(::GetProcAddress(user32, "CallWindowProcA"));
    p.callW = reinterpret_cast<void*>(::GetProcAddress(user32, "CallWindowProcW"));
    p.isBadReadPtr = reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsBadReadPtr"));
    return p;
  }();
  return procs;
}

// Pool state. One per process, shared by every copy of the library that is loaded at the same
// time: the first copy that needs it allocates it on the process heap, outside any image, and
// stores its address in the process-local storage; it is never freed, so nothing runs at unload.
// A copy keeps only the address, never a copy of the lists.
struct PoolState {
  SRWLOCK lock;
  Byte* blocks;
  Byte* freeList;
  volatile LONG parkedInProperty;  // trampolines parked in the default window property
};

static_assert(sizeof(PoolState) <= entry::kTrampolinePoolStateSize);

// Used only when the process-local storage cannot be had; then there are no blocks either.
constinit PoolState g_localState{SRWLOCK_INIT, nullptr, nullptr, 0};
constinit std::atomic<PoolState*> g_state{nullptr};

PoolState* FindOrCreateSharedState() noexcept {
  auto& storage = entry::ProcessLocalStorage::Instance();
  if (const std::uint64_t existing = storage.PublishTrampolinePool(0)) return reinterpret_cast<PoolState*>(existing);
  auto* candidate = static_cast<PoolState*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PoolState)));
  if (!candidate) return nullptr;
  *candidate = PoolState{SRWLOCK_INIT, nullptr, nullptr, 0};
  const std::uint64_t winner = storage.PublishTrampolinePool(reinterpret_cast<std::uint64_t>(candidate));
  if (winner != reinterpret_cast<std::uint64_t>(candidate)) ::HeapFree(::GetProcessHeap(), 0, candidate);
  return reinterpret_cast<PoolState*>(winner);
}

PoolState& State() noexcept {
  if (PoolState* state = g_state.load(std::memory_order_acquire)) return *state;
  PoolState* state = FindOrCreateSharedState();
  if (!state) return g_localState;
  g_state.store(state, std::memory_order_release);  // every thread finds the same address
  return *state;
}

template <typename T>
T Read(const Byte* p, std::size_t offset) noexcept {
  T v;
  std::memcpy(&v, p + offset, sizeof v);
  return v;
}
template <typename T>
void Write(Byte* p, std::size_t offset, T v) noexcept {
  std::memcpy(p + offset, &v, sizeof v);
}

Byte* BlockOf(const void* entry) noexcept {
  return reinterpret_cast<Byte*>(reinterpret_cast<std::uintptr_t>(entry) & ~std::uintptr_t{L::kBlockSize - 1});
}

void Flush(void* entry) noexcept { ::FlushInstructionCache(::GetCurrentProcess(), entry, L::kEntrySize); }

// All ...Locked functions run under the pool state's lock.
bool IsEntryLocked(const PoolState& pool, const void* p) noexcept {
  const auto address = reinterpret_cast<std::uintptr_t>(p);
  for (Byte* block = pool.blocks; block; block = Read<Byte*>(block, L::kPreviousBlockOffset)) {
    const auto base = reinterpret_cast<std::uintptr_t>(block);
    if (address < base + L::kFirstEntryOffset || address >= base + L::kEntryStartLimit) continue;
    return (address - base - L::kFirstEntryOffset) % L::kEntrySize == 0;
  }
  return false;
}

bool IsDispatch(const Byte* entry) noexcept {
  return entry[L::kFormOffset] == L::kDispatchMark[0] && entry[L::kFormOffset + 1] == L::kDispatchMark[1];
}

void WriteDispatchHead(Byte* entry) noexcept {
  entry[0] = 0x48;
  entry[1] = 0xB8;
  Write<Byte*>(entry, L::kImmediateOffset, BlockOf(entry) + L::kDispatchStubOffset);
  entry[L::kFormOffset] = L::kDispatchMark[0];
  entry[L::kFormOffset + 1] = L::kDispatchMark[1];
}

void PushFreeLocked(PoolState& pool, Byte* entry) noexcept {
  Write<Byte*>(entry, L::kFreeLinkOffset, pool.freeList);
  Write<void*>(entry, L::kMethodObjectOffset, nullptr);
  pool.freeList = entry;
}

// Writes the busy counter and IsBadReadPtr over their placeholders in a piece of code.
void PatchPlaceholders(Byte* code, std::size_t size, const volatile LONG* counter, void* isBadReadPtr) noexcept {
  for (std::size_t i = 0; i + 8 <= size; ++i) {
    const auto v = Read<std::uint32_t>(code, i);
    if (v == L::kBusyCounterMark) {
      Write<const volatile LONG*>(code, i, counter);
      i += 7;
    } else if (v == L::kIsBadReadPtrMark) {
      Write<void*>(code, i, isBadReadPtr);
      i += 7;
    }
  }
}

bool AllocateBlockLocked(PoolState& pool) noexcept {
  const UserProcs& procs = Procs();
  auto* counter = entry::ProcessLocalStorage::Instance().BusyCounter();
  if (!procs.isBadReadPtr || !counter) return false;
  auto* block = static_cast<Byte*>(
      ::VirtualAlloc(nullptr, L::kAllocationSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  if (!block) return false;
  std::memset(block, 0xCC, L::kAllocationSize);
  Write<Byte*>(block, L::kPreviousBlockOffset, pool.blocks);

  std::memcpy(block + L::kDispatchStubOffset, kDispatchStub, sizeof kDispatchStub);
  PatchPlaceholders(block + L::kDispatchStubOffset, sizeof kDispatchStub, counter, procs.isBadReadPtr);
  std::memcpy(block + L::kUnwindHandlerOffset, kUnwindHandler, sizeof kUnwindHandler);
  PatchPlaceholders(block + L::kUnwindHandlerOffset, sizeof kUnwindHandler, counter, procs.isBadReadPtr);
  std::memcpy(block + L::kForwarderHelperOffset, kForwarderHelper, sizeof kForwarderHelper);
  WriteUnwindInfo(block);

  pool.blocks = block;
  // Pushed from the last entry down, so allocation hands out the block in address order.
  for (std::size_t i = L::kEntriesPerBlock; i-- > 0;) {
    Byte* entry = block + L::kFirstEntryOffset + i * L::kEntrySize;
    WriteDispatchHead(entry);
    PushFreeLocked(pool, entry);
  }
  // The annex is never written again.
  DWORD previous = 0;
  ::VirtualProtect(block + L::kAnnexOffset, L::kAllocationSize - L::kAnnexOffset, PAGE_EXECUTE_READ, &previous);
  ::FlushInstructionCache(::GetCurrentProcess(), block, L::kAllocationSize);
  RegisterUnwindInfo(block);
  return true;
}

WNDPROC ToDispatchLocked(Byte* entry, const WndMethod* method) noexcept {
  WNDPROC forwardedTo = IsDispatch(entry) ? nullptr : Read<WNDPROC>(entry, L::kImmediateOffset);
  if (method) {
    Write<WndMethodCode>(entry, L::kMethodCodeOffset, method->code);
    Write<void*>(entry, L::kMethodObjectOffset, method->self);
  }
  WriteDispatchHead(entry);
  Flush(entry);
  return forwardedTo;
}

}  // namespace

void* AllocWndProcTrampoline(WndMethod method) noexcept {
  if (!method) return nullptr;
  PoolState& pool = State();
  platform::ExclusiveSrwLock lock(pool.lock);
  if (!pool.freeList && !AllocateBlockLocked(pool)) return nullptr;
  Byte* entry = pool.freeList;
  pool.freeList = Read<Byte*>(entry, L::kFreeLinkOffset);
  Write<WndMethodCode>(entry, L::kMethodCodeOffset, method.code);
  Write<void*>(entry, L::kMethodObjectOffset, method.self);
  Flush(entry);
  return entry;
}

void FreeWndProcTrampoline(void* trampoline) noexcept {
  if (!trampoline) return;
  PoolState& pool = State();
  platform::ExclusiveSrwLock lock(pool.lock);
  auto* entry = static_cast<Byte*>(trampoline);
  if (entry == pool.freeList || !IsEntryLocked(pool, entry)) return;
  // A free entry is in dispatch form without an object; freeing it twice would put it on the
  // list twice and hand it out to two owners.
  if (IsDispatch(entry) && Read<void*>(entry, L::kMethodObjectOffset) == nullptr) return;
  if (!IsDispatch(entry)) WriteDispatchHead(entry);
  PushFreeLocked(pool, entry);
  Flush(entry);
}

void FreeParkedTrampoline(void* trampoline) noexcept {
  if (!trampoline) return;
  PoolState& pool = State();
  platform::ExclusiveSrwLock lock(pool.lock);
  auto* entry = static_cast<Byte*>(trampoline);
  // Free entries are in dispatch form, so this also never puts an entry on the list twice.
  if (!IsEntryLocked(pool, entry) || IsDispatch(entry)) return;
  WriteDispatchHead(entry);
  PushFreeLocked(pool, entry);
  Flush(entry);
}

WNDPROC TrampolineToDispatchForm(void* trampoline, const WndMethod* method) noexcept {
  if (!trampoline) return nullptr;
  platform::ExclusiveSrwLock lock(State().lock);
  return ToDispatchLocked(static_cast<Byte*>(trampoline), method);
}

void TrampolineToForwarderForm(void* trampoline, WNDPROC proc, bool unicode) noexcept {
  if (!trampoline) return;
  platform::ExclusiveSrwLock lock(State().lock);
  auto* entry = static_cast<Byte*>(trampoline);
  const UserProcs& procs = Procs();
  // The form mark (bytes 10-11) is overwritten last but one instruction at a time would not be
  // atomic anyway: conversions happen on the window's own thread, never inside a call through it.
  entry[0] = 0x48;
  entry[1] = 0xB8;
  Write<WNDPROC>(entry, L::kImmediateOffset, proc);
  entry[L::kFormOffset] = 0x49;
  entry[L::kFormOffset + 1] = 0xBA;
  Write<void*>(entry, L::kForwarderCallTargetOffset, unicode ? procs.callW : procs.callA);
  const Byte* helper = BlockOf(entry) + L::kForwarderHelperOffset;
  entry[L::kForwarderJumpOffset] = 0xE9;
  const auto rel = static_cast<std::int32_t>(helper - (entry + L::kForwarderJumpOffset + 5));
  Write<std::int32_t>(entry, L::kForwarderJumpOffset + 1, rel);
  Flush(entry);
}

bool IsTrampolineInDispatchForm(const void* trampoline) noexcept {
  return trampoline && IsDispatch(static_cast<const Byte*>(trampoline));
}

bool IsPoolEntry(const void* trampoline) noexcept {
  PoolState& pool = State();
  platform::ExclusiveSrwLock lock(pool.lock);
  return IsEntryLocked(pool, trampoline);
}

std::size_t TrampolineBlockCount() noexcept {
  PoolState& pool = State();
  platform::ExclusiveSrwLock lock(pool.lock);
  std::size_t n = 0;
  for (Byte* block = pool.blocks; block; block = Read<Byte*>(block, L::kPreviousBlockOffset)) ++n;
  return n;
}

void CountParkedInProperty(bool parked) noexcept {
  PoolState& pool = State();
  if (parked) {
    ::InterlockedIncrement(&pool.parkedInProperty);
  } else if (::InterlockedDecrement(&pool.parkedInProperty) < 0) {
    ::InterlockedIncrement(&pool.parkedInProperty);  // never below zero, whatever the order
  }
}

long ParkedInPropertyCount() noexcept { return State().parkedInProperty; }

void InitTrampolinePool() noexcept {
  Procs();
  State();
}

WNDPROC DefaultWindowProc(bool unicode) noexcept { return unicode ? Procs().defW : Procs().defA; }

LRESULT CallWindowProcFor(bool unicode, WNDPROC proc, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  return unicode ? ::CallWindowProcW(proc, window, msg, wParam, lParam)
                 : ::CallWindowProcA(proc, window, msg, wParam, lParam);
}

}  // namespace dl::extender
