// Per-thread hooks through the stubs, and their release on the owning thread; the stub code itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "platform/registered_messages.h"
#include "protocol/service_codes.h"
#include "library/entry/hook_stubs.h"
#include "library/runtime/process_local_storage.h"
#include "library/entry/thread_hook_list.h"
#include "library/entry/thread_hook_procs.h"
#include "tests/extender/logged_window.h"
#include "tests/support/stack_walk.h"

namespace {

using namespace dl::entry;

constexpr UINT kCounted = WM_APP + 0x31;
std::atomic<int> g_handled0{0}, g_handled1{0};

LRESULT CALLBACK CountingCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code >= 0 && reinterpret_cast<const CWPSTRUCT*>(lParam)->message == kCounted) ++g_handled0;
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
LRESULT CALLBACK CountingCallWndProcRet(int code, WPARAM wParam, LPARAM lParam) {
  if (code >= 0 && reinterpret_cast<const CWPRETSTRUCT*>(lParam)->message == kCounted) ++g_handled1;
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// What a handler that counts nothing itself sees of the busy counter, and whether the stack it
// runs on unwinds back through the stub into the sender.
std::atomic<LONG> g_busyInside{-1};
std::atomic<bool> g_unwoundToSender{false};
DWORD64 g_senderBegin = 0, g_senderEnd = 0;

LRESULT CALLBACK ObservingCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code >= 0 && reinterpret_cast<const CWPSTRUCT*>(lParam)->message == kCounted) {
    g_busyInside = StorageBusyCount();
    g_unwoundToSender = dl::test::StackWalkReaches({g_senderBegin, g_senderEnd});
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The caller whose frame the walk must find; its extent comes from its own unwind information.
// It calls the stub as the system does. (Through a real hook call Wine 8 runs the hook from its
// user-mode callback dispatcher, which no unwinder gets past, whatever the hook's code.)
__attribute__((noinline)) LRESULT CallStubFromHere(HOOKPROC stub, HWND wnd) {
  CWPSTRUCT message{0, 0, kCounted, wnd};
  const LRESULT result = stub(HC_ACTION, 0, reinterpret_cast<LPARAM>(&message));
  asm volatile("");
  return result;
}

std::atomic<int> g_events{0};
void CALLBACK CountingEventProc(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) { ++g_events; }
bool AllEvents(DWORD) { return true; }

// Every event of the hooked threads counted in g_events.
ThreadHookSettings CountingEventSettings() {
  ThreadHookSettings settings;
  settings.needWinEventHook = &AllEvents;
  settings.winEventProc = &CountingEventProc;
  return settings;
}

class ThreadHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ProcessLocalStorage::Instance().Open());
    ASSERT_TRUE(PrepareHookStubs(&CountingCallWndProc, &CountingCallWndProcRet));
    wnd = dl::test::CreateLoggedWindow(&log);
  }
  void TearDown() override {
    ::DestroyWindow(wnd);
    SetHookStubsEnabled(true);
    ReleaseHookStubs(&CountingCallWndProc, &CountingCallWndProcRet);
  }
  int SendCounted() {
    const int before = g_handled0, delivered = log.count(kCounted);
    ::SendMessageW(wnd, kCounted, 0, 0);
    EXPECT_EQ(log.count(kCounted), delivered + 1);  // the window always gets it
    return g_handled0 - before;
  }
  dl::test::WindowLog log;
  HWND wnd = nullptr;
};

TEST(HookStubCode, BothMarksCarryTheRecordAddressAndNothingElseChanges) {
  std::array<unsigned char, kStubTemplateSize> code{};
  const auto* record = reinterpret_cast<const HookRecord*>(0x0000123456789AB0ull);
  ASSERT_TRUE(PatchStubs(code, record));
  int patched = 0;
  for (std::size_t i = 0; i + 8 <= code.size(); ++i) {
    std::uint64_t v;
    std::memcpy(&v, &code[i], 8);
    if (v == reinterpret_cast<std::uint64_t>(record)) {
      ++patched;
      for (std::size_t j = 0; j < 8; ++j) code[i + j] = StubTemplate()[i + j];
    }
  }
  EXPECT_EQ(patched, 2);
  EXPECT_EQ(code, StubTemplate());
}

TEST_F(ThreadHooks, StubsCallTheCurrentHandlersOnlyWhileEnabledAndPresent) {
  ThreadLocalHookList list;
  ASSERT_TRUE(list.HookThread(::GetCurrentThreadId()));
  EXPECT_EQ(SendCounted(), 1);
  EXPECT_GE(g_handled1.load(), 1);
  SetHookStubsEnabled(false);
  EXPECT_FALSE(HookStubsEnabled());
  EXPECT_EQ(SendCounted(), 0);
  SetHookStubsEnabled(true);
  EXPECT_EQ(SendCounted(), 1);
  // This copy leaves: the handlers are forgotten, the hooks still pass on.
  ReleaseHookStubs(&CountingCallWndProc, &CountingCallWndProcRet);
  EXPECT_EQ(SendCounted(), 0);
  ASSERT_TRUE(PrepareHookStubs(&CountingCallWndProc, &CountingCallWndProcRet));
  EXPECT_EQ(SendCounted(), 1);
  list.Clear();
  EXPECT_EQ(SendCounted(), 0);
}

TEST_F(ThreadHooks, AStubCountsTheCallInBeforeTheHandlerRunsAndUnwindsToTheSender) {
  ASSERT_TRUE(PrepareHookStubs(&ObservingCallWndProc, &CountingCallWndProcRet));
  DWORD64 base = 0;
  PRUNTIME_FUNCTION sender = ::RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(&CallStubFromHere), &base, nullptr);
  ASSERT_NE(sender, nullptr);
  g_senderBegin = base + sender->BeginAddress;
  g_senderEnd = base + sender->EndAddress;
  const HOOKPROC stub = CallWndProcStub();
  ASSERT_NE(stub, nullptr);
  // The unwind information belongs to the page, which every copy shares.
  EXPECT_NE(::RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(stub) + kStubBodyOffset + 8, &base, nullptr), nullptr);

  // Through a real hook: the handler counts nothing itself, the one call in progress is the stub's.
  ThreadLocalHookList list;
  ASSERT_TRUE(list.HookThread(::GetCurrentThreadId()));
  const LONG before = StorageBusyCount();
  g_busyInside = -1;
  ::SendMessageW(wnd, kCounted, 0, 0);
  EXPECT_EQ(g_busyInside.load(), before + 1);
  EXPECT_EQ(StorageBusyCount(), before);
  list.Clear();

  g_busyInside = -1;
  g_unwoundToSender = false;
  CallStubFromHere(stub, wnd);
  EXPECT_EQ(g_busyInside.load(), before + 1);
  EXPECT_TRUE(g_unwoundToSender.load()) << "a walk from the handler does not get back through the stub";
  EXPECT_EQ(StorageBusyCount(), before);
  ReleaseHookStubs(&ObservingCallWndProc, &CountingCallWndProcRet);
  ASSERT_TRUE(PrepareHookStubs(&CountingCallWndProc, &CountingCallWndProcRet));
}

TEST_F(ThreadHooks, HookingAHookedThreadAgainInstallsNothing) {
  ThreadLocalHookList list;
  ASSERT_TRUE(list.HookThread(::GetCurrentThreadId()));
  const auto first = list.Find(::GetCurrentThreadId());
  ASSERT_TRUE(first);
  ASSERT_TRUE(list.HookThread(::GetCurrentThreadId()));
  const auto second = list.Find(::GetCurrentThreadId());
  EXPECT_EQ(first->windowsHooks, second->windowsHooks);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(SendCounted(), 1);  // one hook, not two
}

TEST_F(ThreadHooks, FailedInstallationForAThreadLeavesNothingBehind) {
  DWORD gone = 0;
  std::thread([&] { gone = ::GetCurrentThreadId(); }).join();
  ThreadLocalHookList list;
  const LONG busy = StorageBusyCount();
  EXPECT_FALSE(list.HookThread(gone));
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(StorageBusyCount(), busy);
  EXPECT_TRUE(list.HookThread(::GetCurrentThreadId()));  // the next one still works
}

TEST_F(ThreadHooks, ReducedHookProcessGetsEventHooksOnly) {
  ThreadHookSettings settings;
  settings.reducedHookProcess = true;
  settings.needWinEventHook = &AllEvents;
  settings.winEventProc = &CountingEventProc;
  ThreadLocalHookList list(settings);
  ASSERT_TRUE(list.HookThread(::GetCurrentThreadId()));
  const auto item = list.Find(::GetCurrentThreadId());
  ASSERT_TRUE(item);
  EXPECT_EQ(item->windowsHooks[0], nullptr);
  EXPECT_EQ(item->windowsHooks[1], nullptr);
  for (HWINEVENTHOOK h : item->winEventHooks) EXPECT_NE(h, nullptr);
  EXPECT_TRUE(::IsWindow(item->unhookWnd));
  char cls[64] = {};
  ::GetClassNameA(item->unhookWnd, cls, sizeof cls);
  EXPECT_STREQ(cls, "dlm_LocalUnhookWnd");
  EXPECT_EQ(SendCounted(), 0);
  list.Clear();  // on the owning thread: at once
  EXPECT_FALSE(::IsWindow(item->unhookWnd));
}

// A GUI thread that hooks itself, creates a window when asked and pumps until told to quit.
class HookedThread {
 public:
  explicit HookedThread(ThreadLocalHookList& list) {
    thread_ = std::thread([this, &list] {
      MSG msg;
      ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
      hooked_ = list.HookThread(::GetCurrentThreadId());
      id_ = ::GetCurrentThreadId();
      while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd && msg.message == WM_APP) {
          ::DestroyWindow(::CreateWindowExW(0, L"STATIC", L"x", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                            nullptr));
          ++created_;
        }
        ::DispatchMessageW(&msg);
      }
    });
    dl::test::PumpUntil([&] { return id_.load() != 0; });
  }
  ~HookedThread() {
    ::PostThreadMessageW(id_, WM_QUIT, 0, 0);
    thread_.join();
  }
  DWORD id() const { return id_; }
  bool hooked() const { return hooked_; }
  // Makes the thread create and destroy a window; answers how many events that raised.
  int EventsOfAWindow() {
    const int events = g_events, created = created_;
    ::PostThreadMessageW(id_, WM_APP, 0, 0);
    dl::test::PumpUntil([&] { return created_.load() > created; });
    return g_events - events;
  }

 private:
  std::thread thread_;
  std::atomic<DWORD> id_{0};
  std::atomic<bool> hooked_{false};
  std::atomic<int> created_{0};
};

TEST_F(ThreadHooks, UnhookFromAnotherThreadReleasesEventHooksOnTheOwningThread) {
  ThreadLocalHookList list(CountingEventSettings());
  const LONG busy = StorageBusyCount();
  HookedThread owner(list);
  ASSERT_TRUE(owner.hooked());
  const auto item = list.Find(owner.id());
  ASSERT_TRUE(item);
  ASSERT_TRUE(::IsWindow(item->unhookWnd));
  EXPECT_EQ(::GetWindowThreadProcessId(item->unhookWnd, nullptr), owner.id());
  EXPECT_GT(owner.EventsOfAWindow(), 0);

  list.UnhookThread(owner.id());
  EXPECT_FALSE(list.Find(owner.id()));
  ASSERT_TRUE(dl::test::PumpUntil([&] { return !::IsWindow(item->unhookWnd) && StorageBusyCount() == busy; }));
  EXPECT_EQ(owner.EventsOfAWindow(), 0);
}

TEST_F(ThreadHooks, ReleaseMessageWithAnAddressNotHandedOutIsIgnoredAndTheRealOneStillWorks) {
  ThreadLocalHookList list(CountingEventSettings());
  const LONG busy = StorageBusyCount();
  HookedThread owner(list);
  ASSERT_TRUE(owner.hooked());
  const auto item = list.Find(owner.id());
  ASSERT_TRUE(item);
  // The window is message-only but any process can find it by its class and send it this.
  ASSERT_EQ(::FindWindowExA(HWND_MESSAGE, nullptr, "dlm_LocalUnhookWnd", nullptr), item->unhookWnd);

  alignas(16) static unsigned char junk[256];
  std::memset(junk, 0xAB, sizeof junk);
  for (const LPARAM forged : {reinterpret_cast<LPARAM>(junk), LPARAM{0x10}, LPARAM{0}}) {
    EXPECT_EQ(::SendMessageW(item->unhookWnd, dl::platform::ServiceMessage(), dl::protocol::kSvcUnhookThreadItem, forged), 0) << forged;
    EXPECT_EQ(StorageBusyCount(), busy) << forged;
    EXPECT_TRUE(::IsWindow(item->unhookWnd)) << forged;
  }
  EXPECT_EQ(junk[0], 0xAB);
  EXPECT_GT(owner.EventsOfAWindow(), 0);  // its hooks are all still there

  list.UnhookThread(owner.id());
  ASSERT_TRUE(dl::test::PumpUntil([&] { return !::IsWindow(item->unhookWnd) && StorageBusyCount() == busy; }));
  EXPECT_EQ(owner.EventsOfAWindow(), 0);
}

}  // namespace
