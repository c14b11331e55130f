#include "library/entry/hook_stubs.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "library/runtime/process_local_storage.h"
#include "library/entry/thread_hook_procs.h"

namespace dl::entry {
namespace {

// Each stub (Win64: rcx = code, rdx = wParam, r8 = lParam):
//   mov  rax, <record>          ; the mark is the low half of this constant
//   cmp  byte [rax], 0          ; enabled?
//   je   next
//   mov  r10, [rax+16|24]       ; this stub's handler
//   test r10, r10
//   jz   next                   ; no current copy: pass on
//   jmp  r10                    ; tail call with the caller's arguments and shadow space
// next:
//   mov  r9, r8 / mov r8, rdx / mov edx, ecx / xor ecx, ecx
//   jmp  [rax+8]                ; CallNextHookEx(0, code, wParam, lParam)
constexpr std::array<unsigned char, kStubTemplateSize> MakeTemplate() {
  std::array<unsigned char, kStubTemplateSize> t{};
  for (auto& b : t) b = 0xCC;
  constexpr unsigned char stub[] = {
      0x48, 0xB8, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00,  // mov rax, imm64
      0x80, 0x38, 0x00,                                            // cmp byte [rax], 0
      0x74, 0x0C,                                                  // je next
      0x4C, 0x8B, 0x50, 0x10,                                      // mov r10, [rax+16]
      0x4D, 0x85, 0xD2,                                            // test r10, r10
      0x74, 0x03,                                                  // jz next
      0x41, 0xFF, 0xE2,                                            // jmp r10
      0x4D, 0x89, 0xC1,                                            // next: mov r9, r8
      0x49, 0x89, 0xD0,                                            // mov r8, rdx
      0x89, 0xCA,                                                  // mov edx, ecx
      0x31, 0xC9,                                                  // xor ecx, ecx
      0xFF, 0x60, 0x08,                                            // jmp [rax+8]
  };
  static_assert(sizeof(stub) <= kStub1Offset);
  for (std::size_t i = 0; i < sizeof(stub); ++i) {
    t[kStub0Offset + i] = stub[i];
    t[kStub1Offset + i] = stub[i];
  }
  t[kStub1Offset + 5] = 0x22;  // mark 0x22345678
  t[kStub1Offset + 18] = 0x18; // handler at record + 24
  return t;
}
constexpr std::array<unsigned char, kStubTemplateSize> kTemplate = MakeTemplate();

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
    if (PatchStubs(code, record)) {
      StoreSlot(record->callNextHookEx,
                ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "CallNextHookEx"));
      StoreSlot(record->stub0, page + kStub0Offset);
      StoreSlot(record->stub1, page + kStub1Offset);
      std::memcpy(page, code.data(), code.size());
      ::FlushInstructionCache(::GetCurrentProcess(), page, code.size());
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
