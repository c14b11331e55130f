// The library unloaded and loaded again at another address in a live process: two copies of a
// DLL built from the library's objects, loaded one after the other under two names.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/runtime/library_copy_probe.h"
#include "tests/extender/logged_window.h"
#include "tests/support/bin_dir.h"
#include "tests/support/stack_walk.h"

namespace {

using dl::test::CreateLoggedWindow;
using dl::test::WindowLog;

std::wstring TempCopy(const wchar_t* tag) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring target = std::wstring(temp) + L"dlprobe_" + tag + L"_" + std::to_wstring(::GetCurrentProcessId()) + L".dll";
  const std::wstring source = dl::test::BinDir() + L"\\dl_storage_probe.dll";
  if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) return {};
  return target;
}

// One loaded copy and its entry points.
struct Copy {
  HMODULE module = nullptr;
  void (*storage)(ProbeInfo*) = nullptr;
  BOOL (*hookThread)(DWORD) = nullptr;
  LONG (*callCount)() = nullptr;
  void (*setEnabled)(BOOL) = nullptr;
  void* (*subclass)(HWND) = nullptr;
  void (*unsubclass)() = nullptr;
  LONG (*subclassCount)() = nullptr;
  BOOL (*startHoldingThread)(HANDLE) = nullptr;
  LONG (*busyCount)() = nullptr;
  BOOL (*leave)(LONG, DWORD) = nullptr;

  template <typename F>
  void Get(F& fn, const char* name) {
    fn = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  }
  bool Load(const std::wstring& path) {
    module = ::LoadLibraryW(path.c_str());
    if (!module) return false;
    Get(storage, "ProbeStorage");
    Get(hookThread, "ProbeHookThread");
    Get(callCount, "ProbeCallCount");
    Get(setEnabled, "ProbeSetEnabled");
    Get(subclass, "ProbeSubclass");
    Get(unsubclass, "ProbeUnsubclass");
    Get(subclassCount, "ProbeSubclassCount");
    Get(startHoldingThread, "ProbeStartHoldingThread");
    Get(busyCount, "ProbeBusyCount");
    Get(leave, "ProbeLeave");
    return storage && hookThread && callCount && setEnabled && subclass && unsubclass && subclassCount &&
           startHoldingThread && busyCount && leave;
  }
  ProbeInfo Info() const {
    ProbeInfo info{};
    storage(&info);
    return info;
  }
  std::uintptr_t Base() const { return reinterpret_cast<std::uintptr_t>(module); }
  std::size_t Size() const {
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(module) + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
  }
  bool Inside(std::uint64_t address) const { return address >= Base() && address < Base() + Size(); }
};

std::array<unsigned char, 128> StubBytes(const ProbeInfo& info) {
  std::array<unsigned char, 128> bytes{};
  std::memcpy(bytes.data(), reinterpret_cast<const void*>(info.stubPage), bytes.size());
  return bytes;
}

TEST(LibraryReload, SecondCopyTakesOverStorageStubsHooksAndParkedTrampolines) {
  const std::wstring pathA = TempCopy(L"a"), pathB = TempCopy(L"b");
  ASSERT_FALSE(pathA.empty());
  ASSERT_FALSE(pathB.empty());
  WindowLog hookedLog, subclassedLog;
  HWND hookTarget = CreateLoggedWindow(&hookedLog);
  HWND subclassed = CreateLoggedWindow(&subclassedLog);
  ::ShowWindow(subclassed, SW_SHOWNORMAL);

  // First copy: storage, a per-thread hook on this thread, a subclassed window it then lets go.
  Copy a;
  ASSERT_TRUE(a.Load(pathA));
  const ProbeInfo infoA = a.Info();
  ASSERT_NE(infoA.hookRecord, 0u);
  ASSERT_NE(infoA.stubPage, 0u);
  EXPECT_TRUE(a.Inside(infoA.callWndProcHandler));
  EXPECT_EQ(infoA.enabled, 1u);
  ASSERT_TRUE(a.hookThread(::GetCurrentThreadId()));
  ::SendMessageW(hookTarget, kProbeMessage, 0, 0);
  EXPECT_EQ(a.callCount(), 1);
  void* trampoline = a.subclass(subclassed);
  ASSERT_NE(trampoline, nullptr);
  EXPECT_EQ(::SendMessageW(subclassed, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(a.subclassCount(), 1);
  a.unsubclass();
  const auto stubBytes = StubBytes(infoA);

  // Unload it and keep its address range taken, so the next copy must go elsewhere.
  const std::uintptr_t baseA = a.Base();
  const std::size_t sizeA = a.Size();
  ASSERT_TRUE(::FreeLibrary(a.module));
  ASSERT_EQ(::GetModuleHandleW(pathA.c_str()), nullptr);
  void* reserved = ::VirtualAlloc(reinterpret_cast<void*>(baseA), sizeA, MEM_RESERVE, PAGE_NOACCESS);

  // No copy loaded: the stubs pass on, the subclassed window works through its forwarder.
  EXPECT_EQ(::SendMessageW(hookTarget, WM_APP, 0, 0), 0x600D);
  ::SendMessageW(hookTarget, kProbeMessage, 0, 0);
  EXPECT_TRUE(::SetWindowPos(subclassed, nullptr, 20, 20, 420, 260, SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_GE(subclassedLog.count(WM_SIZE), 1);
  ::InvalidateRect(subclassed, nullptr, TRUE);
  const int paintsBefore = subclassedLog.count(WM_PAINT);
  ::UpdateWindow(subclassed);
  EXPECT_GT(subclassedLog.count(WM_PAINT), paintsBefore);
  EXPECT_EQ(::SendMessageW(subclassed, WM_APP, 0, 0), 0x600D);

  // Second copy, at another address.
  Copy b;
  ASSERT_TRUE(b.Load(pathB));
  EXPECT_NE(b.Base(), baseA);
  const ProbeInfo infoB = b.Info();
  EXPECT_EQ(infoB.busyCounter, infoA.busyCounter);
  EXPECT_EQ(infoB.hookRecord, infoA.hookRecord);
  EXPECT_EQ(infoB.stubPage, infoA.stubPage);
  EXPECT_TRUE(b.Inside(infoB.callWndProcHandler));
  EXPECT_TRUE(b.Inside(infoB.callWndProcRetHandler));
  EXPECT_NE(infoB.callWndProcHandler, infoA.callWndProcHandler);
  EXPECT_EQ(StubBytes(infoB), stubBytes);

  // The hooks the first copy installed now reach the second copy's handlers...
  ::SendMessageW(hookTarget, kProbeMessage, 0, 0);
  EXPECT_EQ(b.callCount(), 1);
  // ...unless the enabled flag is clear: then they go straight to the next hook.
  b.setEnabled(FALSE);
  EXPECT_EQ(::SendMessageW(hookTarget, WM_APP, 0, 0), 0x600D);
  ::SendMessageW(hookTarget, kProbeMessage, 0, 0);
  EXPECT_EQ(b.callCount(), 1);
  b.setEnabled(TRUE);
  ::SendMessageW(hookTarget, kProbeMessage, 0, 0);
  EXPECT_EQ(b.callCount(), 2);

  // The parked trampoline of the first copy is taken back by the second.
  EXPECT_EQ(b.subclass(subclassed), trampoline);
  EXPECT_EQ(::SendMessageW(subclassed, WM_APP, 0, 0), 0x600D);
  EXPECT_EQ(b.subclassCount(), 1);
  b.unsubclass();
  ASSERT_TRUE(::FreeLibrary(b.module));

  // Closing goes through the parked forwarder to the window's own procedure.
  ::SendMessageW(subclassed, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(subclassed));
  EXPECT_EQ(subclassedLog.count(WM_NCDESTROY), 1);
  ::DestroyWindow(hookTarget);
  if (reserved) ::VirtualFree(reserved, 0, MEM_RELEASE);
  ::DeleteFileW(pathA.c_str());
  ::DeleteFileW(pathB.c_str());
}

TEST(LibraryReload, CopiesLoadedAtTheSameTimeShareOneTrampolinePool) {
  const std::wstring paths[] = {TempCopy(L"pool0"), TempCopy(L"pool1"), TempCopy(L"pool2"), TempCopy(L"pool3")};
  for (const auto& path : paths) ASSERT_FALSE(path.empty());

  // An earlier copy leaves a free entry at the head of the pool.
  {
    Copy earlier;
    ASSERT_TRUE(earlier.Load(paths[0]));
    WindowLog log;
    HWND window = CreateLoggedWindow(&log);
    ASSERT_NE(earlier.subclass(window), nullptr);
    ::DestroyWindow(window);
    earlier.unsubclass();  // the window is gone: its trampoline goes back to the pool
    ASSERT_TRUE(::FreeLibrary(earlier.module));
  }

  // Two copies alive at once (one from the temporary folder, one from the program folder, say).
  Copy a, b;
  ASSERT_TRUE(a.Load(paths[1]));
  ASSERT_TRUE(b.Load(paths[2]));
  WindowLog logA, logB;
  HWND windowA = CreateLoggedWindow(&logA);
  HWND windowB = CreateLoggedWindow(&logB);
  void* trampolineA = a.subclass(windowA);
  void* trampolineB = b.subclass(windowB);
  ASSERT_NE(trampolineA, nullptr);
  ASSERT_NE(trampolineB, nullptr);
  EXPECT_NE(trampolineA, trampolineB);

  struct Case {
    HWND window;
    LONG toA, toB;
  };
  for (const Case& c : {Case{windowA, 1, 0}, Case{windowB, 0, 1}}) {
    const LONG beforeA = a.subclassCount(), beforeB = b.subclassCount();
    ::SendMessageW(c.window, WM_APP + 5, 0, 0);
    EXPECT_EQ(a.subclassCount() - beforeA, c.toA) << (c.window == windowA ? "window a" : "window b");
    EXPECT_EQ(b.subclassCount() - beforeB, c.toB) << (c.window == windowA ? "window a" : "window b");
  }

  // Copy a goes while b still uses its trampoline: a copy loaded after that must not get it.
  ::DestroyWindow(windowA);
  a.unsubclass();
  ASSERT_TRUE(::FreeLibrary(a.module));
  Copy c;
  ASSERT_TRUE(c.Load(paths[3]));
  WindowLog logC;
  HWND windowC = CreateLoggedWindow(&logC);
  void* trampolineC = c.subclass(windowC);
  ASSERT_NE(trampolineC, nullptr);
  EXPECT_NE(trampolineC, trampolineB);
  const LONG beforeB = b.subclassCount(), beforeC = c.subclassCount();
  ::SendMessageW(windowB, WM_APP + 6, 0, 0);
  EXPECT_EQ(b.subclassCount() - beforeB, 1);
  EXPECT_EQ(c.subclassCount() - beforeC, 0);

  ::DestroyWindow(windowB);
  ::DestroyWindow(windowC);
  b.unsubclass();
  c.unsubclass();
  ::FreeLibrary(b.module);
  ::FreeLibrary(c.module);
  for (const auto& path : paths) ::DeleteFileW(path.c_str());
}

// A window procedure that walks its own stack with the system's unwinder, as a debugger, a
// profiler or a crash reporter does, looking for the frame of the code that sent the message.
constexpr UINT kWalkMessage = WM_APP + 9;
DWORD64 g_senderBegin = 0, g_senderEnd = 0;

std::string g_walkTrace;

LRESULT CALLBACK WalkingProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kWalkMessage) return dl::test::StackWalkReaches({g_senderBegin, g_senderEnd}, &g_walkTrace) ? 1 : 2;
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

__attribute__((noinline)) LRESULT SendWalk(HWND wnd) {
  const LRESULT result = ::SendMessageW(wnd, kWalkMessage, 0, 0);
  asm volatile("");
  return result;
}

void StackWalksThroughTrampolines() {
  DWORD64 base = 0;
  PRUNTIME_FUNCTION sender = ::RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(&SendWalk), &base, nullptr);
  ASSERT_NE(sender, nullptr);
  g_senderBegin = base + sender->BeginAddress;
  g_senderEnd = base + sender->EndAddress;
  WNDCLASSW wc{};
  wc.lpfnWndProc = &WalkingProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"dl_stack_walk_window";
  ::RegisterClassW(&wc);
  HWND wnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                               wc.hInstance, nullptr);
  ASSERT_NE(wnd, nullptr);
  EXPECT_EQ(SendWalk(wnd), 1) << g_walkTrace << "not subclassed";

  const std::wstring pathA = TempCopy(L"walk_a"), pathB = TempCopy(L"walk_b");
  Copy a;
  ASSERT_TRUE(a.Load(pathA));
  void* trampoline = a.subclass(wnd);
  ASSERT_NE(trampoline, nullptr);
  EXPECT_EQ(SendWalk(wnd), 1) << g_walkTrace << "through the dispatch stub of a live copy";
  a.unsubclass();
  ASSERT_TRUE(::FreeLibrary(a.module));
  EXPECT_EQ(SendWalk(wnd), 1) << g_walkTrace << "through the parked forwarder, its copy gone";

  Copy b;
  ASSERT_TRUE(b.Load(pathB));
  EXPECT_EQ(b.subclass(wnd), trampoline);
  const LONG before = b.subclassCount();
  EXPECT_EQ(SendWalk(wnd), 1) << g_walkTrace << "through a stub the first copy wrote, taken over by the second";
  EXPECT_EQ(b.subclassCount(), before + 1);
  b.unsubclass();
  ::DestroyWindow(wnd);
  ::FreeLibrary(b.module);
  ::DeleteFileW(pathA.c_str());
  ::DeleteFileW(pathB.c_str());
}

// On a thread of its own: a thread with per-thread hooks gets its sent messages from Wine 8's
// user-mode callback dispatcher, which no unwinder gets past, whatever the window's code.
TEST(LibraryReload, StackWalksFromAWindowProcedureUnwindThroughTrampolinesOfCopiesThatAreGone) {
  std::thread([] { StackWalksThroughTrampolines(); }).join();
}

TEST(LibraryReload, HoldingThreadKeepsItsCopyLoadedUntilItsFunctionReturns) {
  const std::wstring path = TempCopy(L"hold");
  ASSERT_FALSE(path.empty());
  Copy copy;
  ASSERT_TRUE(copy.Load(path));
  const LONG busy = copy.busyCount();
  HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(copy.startHoldingThread(release));
  EXPECT_EQ(copy.busyCount(), busy + 1);
  auto* counter = reinterpret_cast<volatile LONG*>(copy.Info().busyCounter);
  ASSERT_TRUE(::FreeLibrary(copy.module));
  EXPECT_NE(::GetModuleHandleW(path.c_str()), nullptr);  // the thread holds it
  ::SetEvent(release);
  EXPECT_TRUE(dl::test::PumpUntil([&] { return ::GetModuleHandleW(path.c_str()) == nullptr; }));
  EXPECT_EQ(*counter, busy);
  ::CloseHandle(release);
  ::DeleteFileW(path.c_str());
}

// Threads that churn windows and messages, each with per-thread hooks through the stubs, while
// the library leaves the process and comes back, again and again, at two addresses.
TEST(LibraryReload, TwentyChurningThreadsSurviveFiftyUnloadsAndReloads) {
  constexpr int kThreads = 20;
  constexpr int kReloads = 50;
  const std::wstring paths[2] = {TempCopy(L"stress_a"), TempCopy(L"stress_b")};
  ASSERT_FALSE(paths[0].empty());
  ASSERT_FALSE(paths[1].empty());

  WNDCLASSW wc{};
  wc.lpfnWndProc = &::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"dl_stress_window";
  ::RegisterClassW(&wc);

  std::atomic<bool> stop{false};
  std::atomic<int> ready{0};
  std::array<std::atomic<long>, kThreads> rounds{};
  std::array<DWORD, kThreads> ids{};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ids[t] = ::GetCurrentThreadId();
      MSG msg;
      ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // a message queue before the hooks
      ++ready;
      while (!stop.load()) {
        HWND wnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 80, nullptr, nullptr,
                                     wc.hInstance, nullptr);
        for (int i = 0; i < 10; ++i) ::SendMessageW(wnd, kProbeMessage, i, 0);
        ::PostMessageW(wnd, WM_APP, 0, 0);
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::DestroyWindow(wnd);
        ++rounds[t];
      }
    });
  }
  struct Joiner {
    std::atomic<bool>& stop;
    std::vector<std::thread>& threads;
    ~Joiner() {
      stop = true;
      for (auto& thread : threads)
        if (thread.joinable()) thread.join();
    }
  } joiner{stop, threads};
  ASSERT_TRUE(dl::test::PumpUntil([&] { return ready.load() == kThreads; }));

  // The first copy hooks every thread; its hooks stay with the threads after it has gone.
  Copy first;
  ASSERT_TRUE(first.Load(paths[0]));
  auto* counter = reinterpret_cast<volatile LONG*>(first.Info().busyCounter);
  const LONG idle = *counter;
  for (DWORD id : ids) ASSERT_TRUE(first.hookThread(id));
  ASSERT_TRUE(first.leave(idle, 10000));
  ASSERT_TRUE(::FreeLibrary(first.module));

  auto everyThreadMoved = [&] {
    std::array<long, kThreads> before{};
    for (int t = 0; t < kThreads; ++t) before[t] = rounds[t].load();
    return dl::test::PumpUntil([&] {
      for (int t = 0; t < kThreads; ++t)
        if (rounds[t].load() <= before[t]) return false;
      return true;
    });
  };
  for (int i = 0; i < kReloads; ++i) {
    SCOPED_TRACE(i);
    Copy copy;
    ASSERT_TRUE(copy.Load(paths[i % 2]));
    ASSERT_TRUE(everyThreadMoved()) << "a thread hangs while a copy is loaded";
    ASSERT_GT(copy.callCount(), 0) << "the hooks did not reach this copy";
    ASSERT_TRUE(copy.leave(idle, 10000)) << "calls still inside the copy";
    ASSERT_TRUE(::FreeLibrary(copy.module));
    ASSERT_EQ(::GetModuleHandleW(paths[i % 2].c_str()), nullptr);
    ASSERT_TRUE(everyThreadMoved()) << "a thread hangs while no copy is loaded";
  }

  stop = true;
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(*counter, idle) << "the busy counter is not back where it was";
  for (const auto& path : paths) ::DeleteFileW(path.c_str());
}

}  // namespace
