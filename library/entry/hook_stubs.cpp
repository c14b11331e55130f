#include "library/entry/hook_stubs.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "library/runtime/process_local_storage.h"
#include "library/entry/thread_hook_procs.h"

namespace dl::entry {
namespace {

// Each stub (Win64: rcx = code, rdx = wParam, r8 = lParam) only names its record and its
// handler slot and jumps to the shared body; it leaves the stack as it found it, so a stack walk
// that meets it treats it as a leaf:
//   mov  rax, <record>          ; the mark is the low half of this constant
//   mov  r10d, 16 | 24          ; this stub's handler slot in the record
//   jmp  body
constexpr std::array<unsigned char, kStubTemplateSize> MakeTemplate() {
  std::array<unsigned char, kStubTemplateSize> t{};
  for (auto& b : t) b = 0xCC;
  constexpr unsigned char stub[] = {
      0x48, 0xB8, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00,  // mov rax, imm64
      0x41, 0xBA, 0x10, 0x00, 0x00, 0x00,                          // mov r10d, 16
      0xE9, 0x00, 0x00, 0x00, 0x00,                                // jmp body
  };
  static_assert(sizeof(stub) <= kStub1Offset);
  for (std::size_t i = 0; i < sizeof(stub); ++i) {
    t[kStub0Offset + i] = stub[i];
    t[kStub1Offset + i] = stub[i];
  }
  t[kStub1Offset + 5] = 0x22;   // mark 0x22345678
  t[kStub1Offset + 12] = 0x18;  // handler at record + 24
  for (std::size_t at : {kStub0Offset, kStub1Offset}) {
    const std::int32_t rel = static_cast<std::int32_t>(kStubBodyOffset) - static_cast<std::int32_t>(at + sizeof(stub));
    for (std::size_t i = 0; i < 4; ++i) t[at + 17 + i] = static_cast<unsigned char>((rel >> (8 * i)) & 0xFF);
  }
  return t;
}
constexpr std::array<unsigned char, kStubTemplateSize> kTemplate = MakeTemplate();

// The shared body (rax = record, r10 = handler slot):
//   sub  rsp, 40                ; shadow space for the calls below; described by the unwind info
//   mov  r11, <busy counter>    ; counted in before the handler is read: a copy that is leaving
//   lock inc dword [r11]        ;   waits for this call once it has cleared the flag or the slot
//   cmp  byte [rax], 0
//   je   next
//   mov  r10, [rax+r10]
//   test r10, r10
//   jz   next
//   call r10                    ; the current copy's handler
//   jmp  out
// next:
//   mov  r9, r8 / mov r8, rdx / mov edx, ecx / xor ecx, ecx
//   call [rax+8]                ; CallNextHookEx(0, code, wParam, lParam)
// out:
//   mov  r11, <busy counter>
//   lock dec dword [r11]        ; counted out after the return, rax untouched
//   add  rsp, 40
//   ret
constexpr unsigned char kBody[] = {
    0x48, 0x83, 0xEC, 0x28,                                      // sub rsp, 40
    0x49, 0xBB, 0x78, 0x56, 0x34, 0x13, 0x00, 0x00, 0x00, 0x00,  // mov r11, counter
    0xF0, 0x41, 0xFF, 0x03,                                      // lock inc dword [r11]
    0x80, 0x38, 0x00,                                            // cmp byte [rax], 0
    0x74, 0x0E,                                                  // je next
    0x4E, 0x8B, 0x14, 0x10,                                      // mov r10, [rax+r10]
    0x4D, 0x85, 0xD2,                                            // test r10, r10
    0x74, 0x05,                                                  // jz next
    0x41, 0xFF, 0xD2,                                            // call r10
    0xEB, 0x0D,                                                  // jmp out
    0x4D, 0x89, 0xC1,                                            // next: mov r9, r8
    0x49, 0x89, 0xD0,                                            // mov r8, rdx
    0x89, 0xCA,                                                  // mov edx, ecx
    0x31, 0xC9,                                                  // xor ecx, ecx
    0xFF, 0x50, 0x08,                                            // call [rax+8]
    0x49, 0xBB, 0x78, 0x56, 0x34, 0x13, 0x00, 0x00, 0x00, 0x00,  // out: mov r11, counter
    0xF0, 0x41, 0xFF, 0x0B,                                      // lock dec dword [r11]
    0x48, 0x83, 0xC4, 0x28,                                      // add rsp, 40
    0xC3,                                                        // ret
};
static_assert(sizeof(kBody) == kStubBodySize);
static_assert(kStubBodyOffset + kStubBodySize <= kStubUnwindTableOffset);

using BodyCode = std::array<unsigned char, kStubCodeSize - kStubBodyOffset>;

constexpr BodyCode MakeBody() {
  BodyCode t{};
  for (auto& b : t) b = 0xCC;
  for (std::size_t i = 0; i < sizeof(kBody); ++i) t[i] = kBody[i];
  // RUNTIME_FUNCTION: begin, end, unwind info; offsets from the page.
  const std::uint32_t fn[3] = {kStubBodyOffset, kStubBodyOffset + kStubBodySize, kStubUnwindInfoOffset};
  for (std::size_t k = 0; k < 3; ++k)
    for (std::size_t i = 0; i < 4; ++i)
      t[kStubUnwindTableOffset - kStubBodyOffset + 4 * k + i] = static_cast<unsigned char>((fn[k] >> (8 * i)) & 0xFF);
  // UNWIND_INFO version 1, a 4-byte prologue, one code: at offset 4 UWOP_ALLOC_SMALL of 40 bytes.
  constexpr unsigned char info[] = {0x01, 0x04, 0x01, 0x00, 0x04, 0x42, 0x00, 0x00};
  for (std::size_t i = 0; i < sizeof(info); ++i) t[kStubUnwindInfoOffset - kStubBodyOffset + i] = info[i];
  return t;
}
constexpr BodyCode kBodyTemplate = MakeBody();

// Registers the body's unwind information once per process: the page outlives every copy.
void RegisterStubUnwindInfo(unsigned char* page) noexcept {
  DWORD64 base = 0;
  if (::RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(page + kStubBodyOffset), &base, nullptr)) return;
  ::RtlAddFunctionTable(reinterpret_cast<PRUNTIME_FUNCTION>(page + kStubUnwindTableOffset), 1,
                        reinterpret_cast<DWORD64>(page));
}

std::size_t FindMark(const std::array<unsigned char, kStubTemplateSize>& code, std::size_t from,
                     std::uint32_t mark) noexcept {
  for (std::size_t i = from; i + 8 <= code.size(); ++i) {
    std::uint32_t v;
    std::memcpy(&v, &code[i], 4);
    if (v == mark) return i;
  }
  return code.size();
}

// Makes the page writable for its lifetime, execute/read afterwards.
class WritablePage {
 public:
  explicit WritablePage(void* page) noexcept : page_(page) {
    DWORD old = 0;
    ok_ = ::VirtualProtect(page_, kStubPageSize, PAGE_EXECUTE_READWRITE, &old) != FALSE;
  }
  WritablePage(const WritablePage&) = delete;
  WritablePage& operator=(const WritablePage&) = delete;
  ~WritablePage() {
    DWORD old = 0;
    if (ok_) ::VirtualProtect(page_, kStubPageSize, PAGE_EXECUTE_READ, &old);
  }
  [[nodiscard]] bool ok() const noexcept { return ok_; }

 private:
  void* page_;
  bool ok_ = false;
};

template <typename T>
void StoreSlot(std::uint64_t& slot, T value) noexcept {
  ::InterlockedExchange64(reinterpret_cast<volatile LONG64*>(&slot),
                          static_cast<LONG64>(reinterpret_cast<std::uintptr_t>(value)));
}

void ClearSlotIf(std::uint64_t& slot, HOOKPROC expected) noexcept {
  ::InterlockedCompareExchange64(reinterpret_cast<volatile LONG64*>(&slot), 0,
                                 static_cast<LONG64>(reinterpret_cast<std::uintptr_t>(expected)));
}

}  // namespace

const std::array<unsigned char, kStubTemplateSize>& StubTemplate() noexcept { return kTemplate; }

bool PatchStubBody(BodyCode& code, volatile LONG* counter) noexcept {
  code = kBodyTemplate;
  const auto address = reinterpret_cast<std::uint64_t>(counter);
  int patched = 0;
  for (std::size_t i = 0; i + 8 <= kStubBodySize; ++i) {
    std::uint32_t v;
    std::memcpy(&v, &code[i], 4);
    if (v != kStubCounterMark) continue;
    std::memcpy(&code[i], &address, 8);
    i += 7;
    ++patched;
  }
  return patched == 2;
}

bool PatchStubs(std::array<unsigned char, kStubTemplateSize>& code, const HookRecord* record) noexcept {
  code = kTemplate;
  const auto address = reinterpret_cast<std::uint64_t>(record);
  const std::size_t first = FindMark(code, 0, kStub0Mark);
  if (first == code.size()) return false;
  std::memcpy(&code[first], &address, 8);
  const std::size_t second = FindMark(code, first + 8, kStub1Mark);
  if (second == code.size()) return false;
  std::memcpy(&code[second], &address, 8);
  return true;
}

bool PrepareHookStubs(HOOKPROC callWndProc, HOOKPROC callWndProcRet) noexcept {
  ProcessLocalStorage& storage = ProcessLocalStorage::Instance();
  HookRecord* record = storage.Record();
  unsigned char* page = storage.StubPage();
  if (!record || !page) return false;
  WritablePage writable(page);
  if (!writable.ok()) return false;

  if (!record->enabled) {
    // First preparation in the process, or after a copy that was unloading. The code is
    // built aside and copied in one go: a thread inside a stub of an earlier preparation
    // only ever sees the same bytes.
    std::array<unsigned char, kStubTemplateSize> code;
    BodyCode body;
    volatile LONG* counter = storage.BusyCounter();
    if (counter && PatchStubs(code, record) && PatchStubBody(body, counter)) {
      StoreSlot(record->callNextHookEx,
                ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "CallNextHookEx"));
      StoreSlot(record->stub0, page + kStub0Offset);
      StoreSlot(record->stub1, page + kStub1Offset);
      std::memcpy(page + kStubBodyOffset, body.data(), body.size());
      std::memcpy(page, code.data(), code.size());
      ::FlushInstructionCache(::GetCurrentProcess(), page, kStubCodeSize);
      RegisterStubUnwindInfo(page);
      record->enabled = record->callNextHookEx != 0 ? 1 : 0;
    }
  }
  if (record->enabled) {
    StoreSlot(record->callWndProcHandler, callWndProc);
    StoreSlot(record->callWndProcRetHandler, callWndProcRet);
  } else {
    StoreSlot(record->callWndProcHandler, nullptr);
    StoreSlot(record->callWndProcRetHandler, nullptr);
  }
  return record->enabled != 0;
}

bool PrepareHookStubs() noexcept { return PrepareHookStubs(&CallWndProcHandler, &CallWndProcRetHandler); }

void ReleaseHookStubs(HOOKPROC callWndProc, HOOKPROC callWndProcRet) noexcept {
  HookRecord* record = ProcessLocalStorage::Instance().Record();
  if (!record) return;
  ClearSlotIf(record->callWndProcHandler, callWndProc);
  ClearSlotIf(record->callWndProcRetHandler, callWndProcRet);
}

void ReleaseHookStubs() noexcept { ReleaseHookStubs(&CallWndProcHandler, &CallWndProcRetHandler); }

void SetHookStubsEnabled(bool enabled) noexcept {
  HookRecord* record = ProcessLocalStorage::Instance().Record();
  if (!record || !record->stub0) return;
  // Only the flag byte changes; the handlers stay those of the current copy.
  std::atomic_ref<std::uint8_t>(record->enabled).store(enabled ? 1 : 0);
}

bool HookStubsEnabled() noexcept {
  const HookRecord* record = ProcessLocalStorage::Instance().Record();
  return record && record->enabled;
}

HOOKPROC CallWndProcStub() noexcept {
  const HookRecord* record = ProcessLocalStorage::Instance().Record();
  return record && record->stub0 ? reinterpret_cast<HOOKPROC>(record->stub0) : nullptr;
}

HOOKPROC CallWndProcRetStub() noexcept {
  const HookRecord* record = ProcessLocalStorage::Instance().Record();
  return record && record->stub1 ? reinterpret_cast<HOOKPROC>(record->stub1) : nullptr;
}

}  // namespace dl::entry
