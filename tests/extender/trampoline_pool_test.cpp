// The trampoline pool on real executable memory: both entry forms, the free list, blocks.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "library/runtime/process_local_storage.h"
#include "library/extender/wndproc_trampoline.h"
#include "library/extender/wndproc_trampoline_layout.h"

namespace {

using namespace dl::extender;
namespace L = dl::extender::trampoline_layout;

struct Recorder {
  HWND window = nullptr;
  WindowMessage seen{};
  LONG busyInside = 0;
  int calls = 0;
  void Handle(HWND wnd, WindowMessage& message) noexcept {
    ++calls;
    window = wnd;
    seen = message;
    busyInside = dl::entry::StorageBusyCount();
    message.Result = 0x5EED;
  }
};

WNDPROC AsProc(void* trampoline) { return reinterpret_cast<WNDPROC>(trampoline); }

struct Forwarded {
  HWND wnd;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
} g_forwarded;

LRESULT CALLBACK TargetProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  g_forwarded = {wnd, msg, wp, lp};
  return 0x7A26;
}

class TrampolinePool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dl::entry::ProcessLocalStorage::Instance().Open()); }
};

TEST_F(TrampolinePool, DispatchFormCallsMethodWithRecordAndCountsBusy) {
  Recorder rec;
  void* t = AllocWndProcTrampoline(MakeWndMethod<&Recorder::Handle>(&rec));
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(IsTrampolineInDispatchForm(t));
  const LONG busyBefore = dl::entry::StorageBusyCount();
  const HWND fakeWindow = reinterpret_cast<HWND>(0x1234);
  // A message number with the top bit set must arrive widened, not sign-extended.
  const LRESULT r = AsProc(t)(fakeWindow, 0x80000001u, 0x1122334455667788ull, -5);
  EXPECT_EQ(r, 0x5EED);
  EXPECT_EQ(rec.calls, 1);
  EXPECT_EQ(rec.window, fakeWindow);
  EXPECT_EQ(rec.seen.Msg, 0x80000001u);
  EXPECT_EQ(rec.seen.WParam, 0x1122334455667788ull);
  EXPECT_EQ(rec.seen.LParam, -5);
  EXPECT_EQ(rec.seen.Result, 0);
  EXPECT_EQ(rec.busyInside, busyBefore + 1);
  EXPECT_EQ(dl::entry::StorageBusyCount(), busyBefore);
  FreeWndProcTrampoline(t);
}

TEST_F(TrampolinePool, ForwarderFormPassesEverythingToTheProcedure) {
  Recorder rec;
  void* t = AllocWndProcTrampoline(MakeWndMethod<&Recorder::Handle>(&rec));
  ASSERT_NE(t, nullptr);
  TrampolineToForwarderForm(t, &TargetProc, true);
  EXPECT_FALSE(IsTrampolineInDispatchForm(t));
  HWND wnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  g_forwarded = {};
  EXPECT_EQ(AsProc(t)(wnd, WM_APP + 3, 77, -9), 0x7A26);
  EXPECT_EQ(g_forwarded.wnd, wnd);
  EXPECT_EQ(g_forwarded.msg, static_cast<UINT>(WM_APP + 3));
  EXPECT_EQ(g_forwarded.wp, 77u);
  EXPECT_EQ(g_forwarded.lp, -9);
  EXPECT_EQ(rec.calls, 0);
  // Back to dispatch form: reports where it forwarded to and calls the method again.
  WndMethod method = MakeWndMethod<&Recorder::Handle>(&rec);
  EXPECT_EQ(TrampolineToDispatchForm(t, &method), &TargetProc);
  EXPECT_EQ(AsProc(t)(wnd, WM_APP, 0, 0), 0x5EED);
  EXPECT_EQ(rec.calls, 1);
  ::DestroyWindow(wnd);
  FreeWndProcTrampoline(t);
}

TEST_F(TrampolinePool, FreedEntryAnswersWithoutCallingAndIsHandedOutNext) {
  Recorder rec;
  void* t = AllocWndProcTrampoline(MakeWndMethod<&Recorder::Handle>(&rec));
  FreeWndProcTrampoline(t);
  EXPECT_NE(AsProc(t)(nullptr, WM_APP, 0, 0), 0);
  EXPECT_EQ(rec.calls, 0);
  void* again = AllocWndProcTrampoline(MakeWndMethod<&Recorder::Handle>(&rec));
  EXPECT_EQ(again, t);
  FreeWndProcTrampoline(again);
}

TEST_F(TrampolinePool, DoubleFreeAndForeignPointersLeaveTheListIntact) {
  Recorder rec;
  const WndMethod m = MakeWndMethod<&Recorder::Handle>(&rec);
  void* a = AllocWndProcTrampoline(m);
  void* b = AllocWndProcTrampoline(m);
  FreeWndProcTrampoline(a);
  FreeWndProcTrampoline(b);
  FreeWndProcTrampoline(a);  // a is free but not the head
  FreeWndProcTrampoline(b);  // b is the head
  int local = 0;
  FreeWndProcTrampoline(&local);
  FreeWndProcTrampoline(static_cast<char*>(a) + 1);
  FreeWndProcTrampoline(nullptr);
  void* x = AllocWndProcTrampoline(m);
  void* y = AllocWndProcTrampoline(m);
  void* z = AllocWndProcTrampoline(m);
  EXPECT_EQ(x, b);
  EXPECT_EQ(y, a);
  EXPECT_NE(z, a);
  EXPECT_NE(z, b);
  for (void* p : {x, y, z}) FreeWndProcTrampoline(p);
}

TEST_F(TrampolinePool, ParkedReleaseFreesForwardersOnlyAndLeavesDispatchEntriesToTheirWindows) {
  Recorder rec;
  const WndMethod m = MakeWndMethod<&Recorder::Handle>(&rec);
  struct Case {
    bool parked;  // left in forwarder form by an unhook
    bool freed;
  };
  for (const Case c : {Case{false, false}, Case{true, true}}) {
    void* t = AllocWndProcTrampoline(m);
    ASSERT_NE(t, nullptr);
    if (c.parked) TrampolineToForwarderForm(t, &TargetProc, true);
    FreeParkedTrampoline(t);
    void* next = AllocWndProcTrampoline(m);
    EXPECT_EQ(next == t, c.freed) << "parked: " << c.parked;
    if (!c.freed) {
      // Still bound to its method, as the window using it expects.
      const int calls = rec.calls;
      EXPECT_EQ(AsProc(t)(nullptr, WM_APP, 0, 0), 0x5EED);
      EXPECT_EQ(rec.calls, calls + 1);
      FreeWndProcTrampoline(t);
    }
    FreeWndProcTrampoline(next);
  }
  int local = 0;
  FreeParkedTrampoline(&local);  // not an entry: ignored
  FreeParkedTrampoline(nullptr);
}

TEST_F(TrampolinePool, EmptyMethodGetsNoTrampoline) {
  EXPECT_EQ(AllocWndProcTrampoline(WndMethod{}), nullptr);
}

TEST_F(TrampolinePool, HundredAndSixthAllocationOfABlockStartsAnother) {
  Recorder rec;
  const WndMethod m = MakeWndMethod<&Recorder::Handle>(&rec);
  std::vector<void*> held;
  // Drain whatever earlier tests left free until a fresh block is made.
  const std::size_t blocks = TrampolineBlockCount();
  while (TrampolineBlockCount() == blocks) held.push_back(AllocWndProcTrampoline(m));
  const auto first = reinterpret_cast<std::uintptr_t>(held.back());
  EXPECT_EQ(first % L::kBlockSize, L::kFirstEntryOffset);
  for (int i = 2; i <= 105; ++i) {
    held.push_back(AllocWndProcTrampoline(m));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(held.back()), first + (i - 1) * L::kEntrySize) << i;
  }
  EXPECT_EQ(TrampolineBlockCount(), blocks + 1);
  held.push_back(AllocWndProcTrampoline(m));  // the 106th
  EXPECT_EQ(TrampolineBlockCount(), blocks + 2);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(held.back()) % L::kBlockSize, L::kFirstEntryOffset);
  for (void* p : held) FreeWndProcTrampoline(p);
}

TEST_F(TrampolinePool, PoolStateStaysInTheStorageAndAnotherCandidateCannotReplaceIt) {
  Recorder rec;
  const WndMethod m = MakeWndMethod<&Recorder::Handle>(&rec);
  void* a = AllocWndProcTrampoline(m);
  FreeWndProcTrampoline(a);  // a heads the free list
  const std::size_t blocks = TrampolineBlockCount();
  auto& storage = dl::entry::ProcessLocalStorage::Instance();
  const std::uint64_t state = storage.PublishTrampolinePool(0);
  ASSERT_NE(state, 0u);
  // What a second copy starting at the same time offers is turned down: it gets this state.
  EXPECT_EQ(storage.PublishTrampolinePool(state + 64), state);
  InitTrampolinePool();
  EXPECT_EQ(storage.PublishTrampolinePool(0), state);
  EXPECT_EQ(TrampolineBlockCount(), blocks);
  void* again = AllocWndProcTrampoline(m);
  EXPECT_EQ(again, a);
  FreeWndProcTrampoline(again);
}

}  // namespace
