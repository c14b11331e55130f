// Subclassing real windows through trampolines, with foreign subclassers on top.
#include <gtest/gtest.h>

#include <cstring>
#include <cstdint>
#include <memory>
#include <string>

#include "library/runtime/process_local_storage.h"
#include "library/extender/whook.h"
#include "tests/extender/logged_window.h"

namespace {

using namespace dl::extender;
using dl::test::CreateLoggedWindow;
using dl::test::WindowLog;

// The owner of a hook: records, then lets the window's earlier procedure run.
struct Subclasser {
  std::unique_ptr<WHook> hook;
  int calls = 0;
  UINT last = 0;
  void Handle(HWND wnd, WindowMessage& message) noexcept {
    ++calls;
    last = static_cast<UINT>(message.Msg);
    hook->CallOldProc(wnd, message);
  }
  void Hook(HWND wnd) { hook = std::make_unique<WHook>(wnd, MakeWndMethod<&Subclasser::Handle>(this)); }
};

// A foreign subclasser "B" that chains with CallWindowProcW.
WNDPROC g_underB = nullptr;
int g_bCalls = 0;
LRESULT CALLBACK ForeignProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  ++g_bCalls;
  return ::CallWindowProcW(g_underB, wnd, msg, wp, lp);
}

WNDPROC CurrentProc(HWND wnd) { return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC)); }

class WHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dl::entry::ProcessLocalStorage::Instance().Open());
    wnd = CreateLoggedWindow(&log);
    ASSERT_TRUE(wnd);
  }
  void TearDown() override {
    if (::IsWindow(wnd)) ::DestroyWindow(wnd);
  }
  WindowLog log;
  HWND wnd = nullptr;
};

TEST_F(WHookTest, HookedWindowRunsTheMethodThenItsOwnProcedure) {
  Subclasser a;
  a.Hook(wnd);
  EXPECT_TRUE(a.hook->Enabled());
  EXPECT_EQ(reinterpret_cast<void*>(CurrentProc(wnd)), a.hook->Trampoline());
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(a.last, static_cast<UINT>(WM_APP));
  EXPECT_EQ(log.count(WM_APP), 1);
}

TEST_F(WHookTest, UnhookUnderForeignSubclasserParksForwarderAndHookAgainReusesIt) {
  Subclasser a;
  a.Hook(wnd);
  void* trampoline = a.hook->Trampoline();
  g_underB = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignProc)));
  ASSERT_EQ(reinterpret_cast<void*>(g_underB), trampoline);

  a.hook->UnhookWindow();
  EXPECT_FALSE(a.hook->Enabled());
  EXPECT_EQ(CurrentProc(wnd), &ForeignProc);  // never put back: B stays in place
  EXPECT_EQ(::GetPropW(wnd, MAKEINTATOM(ParkedTrampolineAtom())), trampoline);
  EXPECT_FALSE(IsTrampolineInDispatchForm(trampoline));

  g_bCalls = 0;
  const int callsBefore = a.calls;
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);  // B -> parked forwarder -> window's own procedure
  EXPECT_EQ(g_bCalls, 1);
  EXPECT_EQ(a.calls, callsBefore);
  EXPECT_EQ(log.count(WM_APP), 1);

  Subclasser again;
  again.Hook(wnd);
  EXPECT_EQ(again.hook->Trampoline(), trampoline);
  EXPECT_EQ(CurrentProc(wnd), &ForeignProc);
  EXPECT_EQ(::GetPropW(wnd, MAKEINTATOM(ParkedTrampolineAtom())), nullptr);
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(g_bCalls, 2);
  EXPECT_EQ(again.last, static_cast<UINT>(WM_APP));
  EXPECT_EQ(log.count(WM_APP), 2);
  again.hook.reset();
  ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_underB));
}

TEST_F(WHookTest, UnhookAfterTheWindowIsDestroyedFreesTheTrampoline) {
  Subclasser a;
  a.Hook(wnd);
  void* trampoline = a.hook->Trampoline();
  WindowMessage msg{WM_APP, 0, 0, 0};
  ASSERT_TRUE(::DestroyWindow(wnd));
  a.hook->CallOldProc(wnd, msg);  // a call for a window that has gone meanwhile: no crash
  a.hook.reset();
  Subclasser next;
  void* reused = AllocWndProcTrampoline(MakeWndMethod<&Subclasser::Handle>(&next));
  EXPECT_EQ(reused, trampoline);
  FreeWndProcTrampoline(reused);
}

TEST_F(WHookTest, PreviousProcedureThatIsNoLongerCodeIsReplacedByTheDefault) {
  // A window procedure in memory of its own ("mov eax, 0x1234; ret") that then goes away.
  auto* code = static_cast<unsigned char*>(::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  ASSERT_NE(code, nullptr);
  const unsigned char body[] = {0xB8, 0x34, 0x12, 0x00, 0x00, 0xC3};
  std::memcpy(code, body, sizeof body);
  ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(code));
  Subclasser a;
  a.Hook(wnd);
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x1234);
  ASSERT_TRUE(::VirtualFree(code, 0, MEM_RELEASE));
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0);  // DefWindowProcW's answer
  a.hook->UnhookWindow();                           // forwarder goes to the default procedure
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0);
  EXPECT_TRUE(::SetWindowTextW(wnd, L"still alive"));
  ASSERT_TRUE(::DestroyWindow(wnd));
}

// A Unicode window whose procedure someone replaced by an ANSI one is an ANSI window from then on:
// the hook follows its character set, so the ANSI procedure below, called directly, still gets
// ANSI text.
std::string g_ansiText;
LRESULT CALLBACK AnsiTextProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SETTEXT && lp) g_ansiText = reinterpret_cast<const char*>(lp);
  return ::DefWindowProcA(wnd, msg, wp, lp);
}

TEST_F(WHookTest, PreviousProcedureTurnedAnsiGetsAnsiText) {
  ::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AnsiTextProc));
  Subclasser a;
  a.Hook(wnd);
  EXPECT_FALSE(a.hook->UnicodeWindow());
  EXPECT_EQ(a.hook->OldWndProc(), &AnsiTextProc);
  ASSERT_TRUE(::SetWindowTextW(wnd, L"caf\u00e9"));
  EXPECT_EQ(g_ansiText, "caf\xe9");
  EXPECT_GT(a.calls, 0);
  a.hook.reset();
  ::DestroyWindow(wnd);
}

TEST_F(WHookTest, PreviousProcedureThatIsCodeIsCalledDirectly) {
  Subclasser a;
  a.Hook(wnd);
  EXPECT_TRUE(IsPlainCodeAddress(a.hook->OldWndProc()));
  EXPECT_FALSE(IsPlainCodeAddress(reinterpret_cast<WNDPROC>(std::uintptr_t{0xFFFF0123})));
  EXPECT_FALSE(IsPlainCodeAddress(nullptr));
  EXPECT_TRUE(::SetWindowTextW(wnd, L"direct"));
  EXPECT_EQ(log.count(WM_SETTEXT), 1);
}

// Parking with the default property is counted for the whole process, so that the hooks can skip
// the property lookup at a window's destruction while no trampoline is parked anywhere.
TEST_F(WHookTest, ParkingIsCountedUntilTheParkedTrampolineIsTakenBackOrItsPropertyRemoved) {
  const long before = ParkedInPropertyCount();
  Subclasser a;
  a.Hook(wnd);
  void* trampoline = a.hook->Trampoline();
  EXPECT_EQ(ParkedTrampolineOf(wnd), nullptr);
  a.hook->UnhookWindow();
  EXPECT_EQ(ParkedInPropertyCount(), before + 1);
  EXPECT_EQ(ParkedTrampolineOf(wnd), trampoline);
  a.hook->HookWindow();  // takes it back
  EXPECT_EQ(ParkedInPropertyCount(), before);
  EXPECT_EQ(::GetPropW(wnd, MAKEINTATOM(ParkedTrampolineAtom())), nullptr);
  a.hook->UnhookWindow();
  EXPECT_EQ(ParkedInPropertyCount(), before + 1);
  RemoveParkedTrampolineProperty(wnd);
  RemoveParkedTrampolineProperty(wnd);  // nothing left to remove: counted once
  EXPECT_EQ(ParkedInPropertyCount(), before);
  EXPECT_EQ(ParkedTrampolineOf(wnd), nullptr);

  // A hook that parks under a property of its own is not counted.
  const ATOM own = ::GlobalAddAtomW(L"dl_whook_test_own_parking");
  Subclasser b;
  b.hook = std::make_unique<WHook>(wnd, MakeWndMethod<&Subclasser::Handle>(&b), own);
  b.hook->UnhookWindow();
  EXPECT_EQ(ParkedInPropertyCount(), before);
  EXPECT_NE(::GetPropW(wnd, MAKEINTATOM(own)), nullptr);
  ::RemovePropW(wnd, MAKEINTATOM(own));
  ::GlobalDeleteAtom(own);
  a.hook.reset();
  b.hook.reset();
}

TEST_F(WHookTest, AnsiWindowUsesTheAnsiProcedures) {
  WindowLog ansiLog;
  HWND ansi = CreateLoggedWindow(&ansiLog, false);
  ASSERT_FALSE(::IsWindowUnicode(ansi));
  Subclasser a;
  a.Hook(ansi);
  EXPECT_FALSE(a.hook->UnicodeWindow());
  EXPECT_TRUE(::SetWindowTextA(ansi, "caf\xe9"));
  char text[16] = {};
  ::GetWindowTextA(ansi, text, 16);
  EXPECT_STREQ(text, "caf\xe9");
  a.hook->UnhookWindow();
  EXPECT_TRUE(::SetWindowTextA(ansi, "abc"));
  ::GetWindowTextA(ansi, text, 16);
  EXPECT_STREQ(text, "abc");
  ::DestroyWindow(ansi);
}

TEST_F(WHookTest, RehookDisconnectBypassesEverythingBelowAndConnectHooksOnce) {
  Subclasser a;
  a.Hook(wnd);
  a.hook->RehookWindow(false);
  EXPECT_FALSE(a.hook->Enabled());
  const int calls = a.calls;
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);  // straight to the class procedure
  EXPECT_EQ(a.calls, calls);

  a.hook->RehookWindow(true);
  EXPECT_TRUE(a.hook->Enabled());
  EXPECT_NE(::GetPropW(wnd, MAKEINTATOM(RehookedAtom())), nullptr);
  void* trampoline = a.hook->Trampoline();
  a.hook->RehookWindow(true);  // marked as reconnected: nothing happens
  EXPECT_EQ(a.hook->Trampoline(), trampoline);
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(a.calls, calls + 1);
  a.hook->UnhookWindow();
  EXPECT_EQ(::GetPropW(wnd, MAKEINTATOM(RehookedAtom())), nullptr);
}

TEST_F(WHookTest, RehookFromScratchPutsANewTrampolineInFrontOfTheCurrentProcedure) {
  Subclasser a;
  a.Hook(wnd);
  // Someone cut us out of the chain.
  ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(a.hook->OldWndProc()));
  const int calls = a.calls;
  ::SendMessageW(wnd, WM_APP, 0, 0);
  EXPECT_EQ(a.calls, calls);
  a.hook->RehookWindowFromScratch();
  EXPECT_TRUE(a.hook->Enabled());
  EXPECT_EQ(reinterpret_cast<void*>(CurrentProc(wnd)), a.hook->Trampoline());
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(a.calls, calls + 1);
}

// A foreign subclasser that notices being called again from inside its own call (a chain that
// loops back to it) and then stops instead of recursing until the stack runs out.
WNDPROC g_underGuarded = nullptr;
int g_guardedCalls = 0, g_guardedReentries = 0, g_guardedDepth = 0;
LRESULT CALLBACK GuardedForeignProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (g_guardedDepth > 0) {
    ++g_guardedReentries;
    return 0;
  }
  ++g_guardedCalls;
  ++g_guardedDepth;
  const LRESULT r = ::CallWindowProcW(g_underGuarded, wnd, msg, wp, lp);
  --g_guardedDepth;
  return r;
}

TEST_F(WHookTest, RehookFromScratchUnderAForeignSubclasserKeepsTheSubclasserWorking) {
  Subclasser a;
  a.Hook(wnd);
  void* first = a.hook->Trampoline();
  // B subclasses on top and keeps our trampoline as the procedure it passes messages on to.
  g_underGuarded =
      reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GuardedForeignProc)));
  ASSERT_EQ(reinterpret_cast<void*>(g_underGuarded), first);
  a.hook->RehookWindowFromScratch();
  ASSERT_TRUE(a.hook->Enabled());
  EXPECT_NE(a.hook->Trampoline(), first);
  EXPECT_EQ(reinterpret_cast<void*>(CurrentProc(wnd)), a.hook->Trampoline());

  // New trampoline -> method -> B -> the old trampoline, now forwarding -> the window's own procedure.
  const int calls = a.calls, bCalls = g_guardedCalls, reentries = g_guardedReentries, seen = log.count(WM_APP);
  EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(a.calls, calls + 1);
  EXPECT_EQ(g_guardedCalls, bCalls + 1);
  EXPECT_EQ(g_guardedReentries, reentries);
  EXPECT_EQ(log.count(WM_APP), seen + 1);
}

}  // namespace
