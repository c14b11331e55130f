// Utility windows: a method as window procedure, and teardown from the wrong thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "library/runtime/process_local_storage.h"
#include "library/extender/utility_window.h"
#include "tests/extender/logged_window.h"

namespace {

using namespace dl::extender;

struct Service {
  std::atomic<int> calls{0};
  std::atomic<int> appCalls{0};
  void Handle(HWND wnd, WindowMessage& message) noexcept {
    ++calls;
    if (message.Msg == WM_APP) {
      ++appCalls;
      message.Result = 42;
      return;
    }
    message.Result = ::DefWindowProcA(wnd, static_cast<UINT>(message.Msg), message.WParam, message.LParam);
  }
};

std::string ClassOf(HWND wnd) {
  char name[128] = {};
  ::GetClassNameA(wnd, name, sizeof name);
  return name;
}

class UtilityWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dl::entry::ProcessLocalStorage::Instance().Open()); }
};

TEST_F(UtilityWindow, MethodReceivesMessagesThroughTheTrampolineInWindowLongZero) {
  Service service;
  HWND wnd = AllocateUtilityWindow(MakeWndMethod<&Service::Handle>(&service), HWND_MESSAGE);
  ASSERT_TRUE(wnd);
  EXPECT_EQ(ClassOf(wnd), kDefaultUtilityClassName);
  const LONG_PTR trampoline = ::GetWindowLongPtrA(wnd, 0);
  EXPECT_NE(trampoline, 0);
  EXPECT_EQ(::GetWindowLongPtrA(wnd, GWLP_WNDPROC), trampoline);
  EXPECT_EQ(::SendMessageA(wnd, WM_APP, 0, 0), 42);
  EXPECT_EQ(service.appCalls, 1);

  DeallocateUtilityWindow(wnd);
  EXPECT_EQ(wnd, nullptr);
  // Its trampoline went back to the pool first in line.
  Service other;
  void* next = AllocWndProcTrampoline(MakeWndMethod<&Service::Handle>(&other));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(next), trampoline);
  FreeWndProcTrampoline(next);
}

TEST_F(UtilityWindow, OwnerDeallocatesOnResetAndAtScopeEndAndGivesTheTrampolineBack) {
  Service service;
  HWND first = nullptr;
  LONG_PTR trampoline = 0;
  {
    UniqueUtilityWindow owner(AllocateUtilityWindow(MakeWndMethod<&Service::Handle>(&service), HWND_MESSAGE));
    ASSERT_TRUE(owner);
    first = owner.get();
    trampoline = ::GetWindowLongPtrA(first, 0);
    owner.reset(AllocateUtilityWindow(WndMethod{}, HWND_MESSAGE));
    EXPECT_FALSE(::IsWindow(first)) << "reset kept the old window";
    EXPECT_TRUE(::IsWindow(owner.get()));
    first = owner.get();
  }
  EXPECT_FALSE(::IsWindow(first)) << "the owner's end kept its window";
  Service other;
  void* next = AllocWndProcTrampoline(MakeWndMethod<&Service::Handle>(&other));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(next), trampoline);
  FreeWndProcTrampoline(next);
}

TEST_F(UtilityWindow, NamedClassStylesAndParentAreUsed) {
  Service a, b;
  HWND first = AllocateUtilityWindow(MakeWndMethod<&Service::Handle>(&a), HWND_MESSAGE, "dlTestUtilClass", WS_POPUP,
                                     WS_EX_TOOLWINDOW);
  HWND second = AllocateUtilityWindow(MakeWndMethod<&Service::Handle>(&b), HWND_MESSAGE, "dlTestUtilClass");
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);  // the class registered for the first one serves the second
  EXPECT_EQ(ClassOf(first), "dlTestUtilClass");
  EXPECT_TRUE(::GetWindowLongPtrA(first, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(::SendMessageA(second, WM_APP, 0, 0), 42);
  EXPECT_EQ(b.appCalls, 1);
  EXPECT_EQ(a.appCalls, 0);
  DeallocateUtilityWindow(first);
  DeallocateUtilityWindow(second);
}

TEST_F(UtilityWindow, WithoutMethodTheWindowKeepsTheDefaultProcedure) {
  HWND wnd = AllocateUtilityWindow(WndMethod{}, HWND_MESSAGE);
  ASSERT_TRUE(wnd);
  EXPECT_EQ(::GetWindowLongPtrA(wnd, 0), 0);
  DeallocateUtilityWindow(wnd);
  HWND none = nullptr;
  DeallocateUtilityWindow(none);  // not a window: nothing happens
}

TEST_F(UtilityWindow, DeallocateFromAnotherThreadNeutralisesAndClosesTheWindow) {
  Service service;
  std::atomic<HWND> created{nullptr};
  std::atomic<bool> gone{false};
  std::thread owner([&] {
    HWND wnd = AllocateUtilityWindow(MakeWndMethod<&Service::Handle>(&service), nullptr, nullptr, WS_POPUP);
    created = wnd;
    dl::test::PumpUntil([&] { return !::IsWindow(wnd); }, std::chrono::seconds(10));
    gone = !::IsWindow(wnd);
  });
  ASSERT_TRUE(dl::test::PumpUntil([&] { return created.load() != nullptr; }));
  HWND wnd = created;
  void* trampoline = reinterpret_cast<void*>(::GetWindowLongPtrA(wnd, 0));
  ASSERT_EQ(::SendMessageA(wnd, WM_APP, 0, 0), 42);
  const int callsBefore = service.calls;
  HWND handle = wnd;
  DeallocateUtilityWindow(handle);
  EXPECT_EQ(handle, nullptr);
  owner.join();
  EXPECT_TRUE(gone);
  EXPECT_EQ(service.calls, callsBefore);  // the method saw nothing of the close
  Service other;
  void* next = AllocWndProcTrampoline(MakeWndMethod<&Service::Handle>(&other));
  EXPECT_EQ(next, trampoline);
  FreeWndProcTrampoline(next);
}

}  // namespace
