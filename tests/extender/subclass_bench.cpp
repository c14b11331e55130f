// Cost of a sent message through a subclassing trampoline and through the per-thread hook stubs,
// each against the same window without them, in the same run. Prints ratios; fails only when a
// ratio is absurd (a sign of a broken path, not of a slow machine).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "library/entry/hook_stubs.h"
#include "library/runtime/process_local_storage.h"
#include "library/entry/thread_hook_list.h"
#include "library/extender/whook.h"
#include "tests/extender/logged_window.h"

namespace {

using namespace dl::extender;

struct PassOn {
  std::unique_ptr<WHook> hook;
  void Handle(HWND wnd, WindowMessage& message) noexcept { hook->CallOldProc(wnd, message); }
};

double TimeSends(HWND wnd, int count) {
  LARGE_INTEGER f, a, b;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&a);
  for (int i = 0; i < count; ++i) ::SendMessageW(wnd, WM_APP, i, 0);
  ::QueryPerformanceCounter(&b);
  return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

// Best of several rounds, to keep noise from other work on the machine out.
double Best(HWND wnd, int count) {
  double best = 1e9;
  for (int round = 0; round < 7; ++round) best = std::min(best, TimeSends(wnd, count));
  return best;
}

LRESULT CALLBACK DirectHook(int code, WPARAM wParam, LPARAM lParam) {
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int main() {
  if (!dl::entry::ProcessLocalStorage::Instance().Open() || !dl::entry::PrepareHookStubs()) {
    std::puts("bench: no process-local storage");
    return 1;
  }
  const int n = 20000;
  dl::test::WindowLog log;
  HWND plain = dl::test::CreateLoggedWindow(nullptr);
  HWND hooked = dl::test::CreateLoggedWindow(nullptr);
  PassOn pass;
  pass.hook = std::make_unique<WHook>(hooked, MakeWndMethod<&PassOn::Handle>(&pass));
  TimeSends(plain, n);
  TimeSends(hooked, n);
  const double tPlain = Best(plain, n);
  const double tHooked = Best(hooked, n);

  dl::entry::ThreadLocalHookList list;
  const double tNoThreadHook = Best(plain, n / 10);
  // The same two hooks with procedures of our own, no stubs: what the system's hook path costs.
  HHOOK direct0 = ::SetWindowsHookExW(WH_CALLWNDPROC, &DirectHook, nullptr, ::GetCurrentThreadId());
  HHOOK direct1 = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &DirectHook, nullptr, ::GetCurrentThreadId());
  const double tDirectHook = Best(plain, n / 10);
  ::UnhookWindowsHookEx(direct0);
  ::UnhookWindowsHookEx(direct1);
  const bool ok = list.HookThread(::GetCurrentThreadId());
  const double tThreadHook = Best(plain, n / 10);
  list.Clear();

  const double subclassRatio = tHooked / tPlain;
  const double hookRatio = tThreadHook / tNoThreadHook;
  const double stubRatio = tThreadHook / tDirectHook;
  std::printf("plain send: %.3f us, through trampoline: %.3f us, ratio %.2f\n", 1e6 * tPlain / n, 1e6 * tHooked / n,
              subclassRatio);
  std::printf("no thread hook: %.3f us, plain thread hooks: %.3f us, through the stubs: %.3f us\n",
              1e6 * tNoThreadHook / (n / 10), 1e6 * tDirectHook / (n / 10), 1e6 * tThreadHook / (n / 10));
  std::printf("ratio stubs / no hook %.2f, stubs / plain hooks %.2f\n", hookRatio, stubRatio);
  pass.hook.reset();
  ::DestroyWindow(plain);
  ::DestroyWindow(hooked);
  if (!ok) {
    std::puts("bench: HookThread failed");
    return 1;
  }
  return (subclassRatio < 20.0 && stubRatio < 20.0) ? 0 : 1;
}
