// Cost of a sent message through a window extender, with no window parts and with three message
// handlers that claim nothing, each against the same kind of window unextended, in one run.
// Prints ratios; fails only when a ratio is absurd (a broken path, not a slow machine).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "library/runtime/process_local_storage.h"
#include "library/runtime/shared_messages.h"
#include "library/extender/classification_atoms.h"
#include "library/extender/window_extender.h"
#include "library/model/class_registry.h"
#include "tests/extender/logged_window.h"

namespace {

using namespace dl;
using namespace dl::extender;

class Bystander : public model::TInterfacedObject, public virtual IMessageHandler {
 public:
  bool BeforeMessage(WindowMessage& message) override { return message.Msg == WM_NULL && message.WParam == 1; }
  void AfterMessage(WindowMessage& message, bool) override { seen += message.Msg == WM_APP; }
  long seen = 0;
};

// The subclassing primitive alone, passing every message on: what the extender builds on.
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

// Best of several rounds of direct calls of a window procedure, in nanoseconds a call: what the
// trampoline itself costs, without the system's dispatch around it.
double NanosecondsPerCall(WNDPROC proc, HWND wnd, int count) {
  LARGE_INTEGER f, a, b;
  ::QueryPerformanceFrequency(&f);
  double best = 1e9;
  for (int round = 0; round < 9; ++round) {
    ::QueryPerformanceCounter(&a);
    for (int i = 0; i < count; ++i) proc(wnd, WM_APP, i, 0);
    ::QueryPerformanceCounter(&b);
    best = std::min(best, double(b.QuadPart - a.QuadPart) / double(f.QuadPart));
  }
  return 1e9 * best / count;
}

// What every message through an extended window must do whatever the code around it: count the
// call in and out of the library's busy counter, check the method's object and the previous
// procedure are readable, hold a reference to the extender. Nanoseconds, best of several rounds.
double NanosecondsOfRequiredChecks(const void* object, WNDPROC proc, int count) {
  volatile LONG counter = 0, references = 1;
  LARGE_INTEGER f, a, b;
  ::QueryPerformanceFrequency(&f);
  double best = 1e9;
  for (int round = 0; round < 9; ++round) {
    ::QueryPerformanceCounter(&a);
    for (int i = 0; i < count; ++i) {
      ::InterlockedIncrement(&counter);
      if (!::IsBadReadPtr(object, 8) && !::IsBadCodePtr(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(proc)))) {
        ::InterlockedIncrement(&references);
        ::InterlockedDecrement(&references);
      }
      ::InterlockedDecrement(&counter);
    }
    ::QueryPerformanceCounter(&b);
    best = std::min(best, double(b.QuadPart - a.QuadPart) / double(f.QuadPart));
  }
  return 1e9 * best / count;
}

// Best of several rounds, interleaved, to keep noise from other work on the machine out.
void Measure(HWND (&windows)[4], int count, double (&best)[4]) {
  for (double& b : best) b = 1e9;
  for (int round = 0; round < 9; ++round)
    for (int w = 0; w < 4; ++w) best[w] = std::min(best[w], TimeSends(windows[w], count));
}

model::RefPtr<TWindowExtender> Extend(HWND wnd) {
  auto object = model::CreateObjectByClassName(L"", rules::kWindowExtenderClassName);
  model::RefPtr<TWindowExtender> ext(dynamic_cast<TWindowExtender*>(object.As<rules::IWindowExtender>().Get()));
  if (ext) ext->AttachWindow(wnd);
  return ext;
}

}  // namespace

int main() {
  if (!entry::ProcessLocalStorage::Instance().Open()) {
    std::puts("bench: no process-local storage");
    return 1;
  }
  entry::RegisterSharedMessages();
  RegisterClassAtoms();
  RegisterWindowExtenderClass();
  const int n = 20000;
  HWND windows[4] = {test::CreateLoggedWindow(nullptr), test::CreateLoggedWindow(nullptr),
                     test::CreateLoggedWindow(nullptr), test::CreateLoggedWindow(nullptr)};
  PassOn pass;
  pass.hook = std::make_unique<WHook>(windows[3], MakeWndMethod<&PassOn::Handle>(&pass));
  auto bare = Extend(windows[1]);
  auto handled = Extend(windows[2]);
  if (!bare || !handled || !bare->Hook() || !handled->Hook()) {
    std::puts("bench: the windows could not be extended");
    return 1;
  }
  model::RefPtr<Bystander> bystanders[3] = {new Bystander(), new Bystander(), new Bystander()};
  for (auto& b : bystanders) handled->AttachMessageHandler(b.Get());
  double best[4];
  Measure(windows, n / 10, best);  // warm-up
  Measure(windows, n, best);
  const double ratioBare = best[1] / best[0];
  const double ratioHandlers = best[2] / best[0];
  std::printf("plain send: %.3f us, extended (no parts): %.3f us, extended (3 handlers): %.3f us\n",
              1e6 * best[0] / n, 1e6 * best[1] / n, 1e6 * best[2] / n);
  std::printf("ratio extended / plain %.2f (goal <= 1.10), with 3 handlers / plain %.2f (goal <= 1.15)\n", ratioBare,
              ratioHandlers);
  std::printf("bare trampoline: %.3f us; extended / trampoline %.2f, with 3 handlers / trampoline %.2f\n",
              1e6 * best[3] / n, best[1] / best[3], best[2] / best[3]);
  const double nsOld = NanosecondsPerCall(pass.hook->OldWndProc(), windows[3], n);
  const double nsTrampoline = NanosecondsPerCall(reinterpret_cast<WNDPROC>(pass.hook->Trampoline()), windows[3], n);
  const double nsBare = NanosecondsPerCall(reinterpret_cast<WNDPROC>(bare->Hook()->Trampoline()), windows[1], n);
  const double nsHandled = NanosecondsPerCall(reinterpret_cast<WNDPROC>(handled->Hook()->Trampoline()), windows[2], n);
  const double nsChecks = NanosecondsOfRequiredChecks(bare.Get(), pass.hook->OldWndProc(), n);
  std::printf("required per message (busy count in and out, object and procedure readable, a reference held): "
              "%.1f ns, alone %.2f of a plain send\n",
              nsChecks, (1e-9 * nsChecks + best[0] / n) / (best[0] / n));
  std::printf("called directly: the window's procedure %.1f ns, through the trampoline %.1f ns (+%.1f ns), "
              "the extender %.1f ns (+%.1f ns), with 3 handlers %.1f ns (+%.1f ns)\n",
              nsOld, nsTrampoline, nsTrampoline - nsOld, nsBare, nsBare - nsOld, nsHandled, nsHandled - nsOld);
  // What extending a shown window costs (build from parameters, attach: service window, hook,
  // check timer), against creating and showing such a window in the first place.
  const int windowsToExtend = 200;
  std::vector<HWND> made;
  LARGE_INTEGER f, a, b, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&a);
  for (int i = 0; i < windowsToExtend; ++i) {
    made.push_back(test::CreateLoggedWindow(nullptr));
    ::ShowWindow(made.back(), SW_SHOWNOACTIVATE);
  }
  ::QueryPerformanceCounter(&b);
  std::vector<model::RefPtr<TWindowExtender>> extenders;
  for (HWND wnd : made) extenders.push_back(Extend(wnd));
  ::QueryPerformanceCounter(&c);
  const double tShow = double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
  const double tExtend = double(c.QuadPart - b.QuadPart) / double(f.QuadPart);
  std::printf("create and show: %.1f us a window, extend it: %.1f us, ratio extend / show %.2f\n",
              1e6 * tShow / windowsToExtend, 1e6 * tExtend / windowsToExtend, tExtend / tShow);
  for (auto& e : extenders) e->DetachWindow();
  for (HWND wnd : made) ::DestroyWindow(wnd);

  const bool handlersRan = bystanders[0]->seen > 0;
  bare->DetachWindow();
  handled->DetachWindow();
  pass.hook.reset();
  for (HWND w : windows) ::DestroyWindow(w);
  if (!handlersRan) {
    std::puts("bench: the handlers never saw the messages");
    return 1;
  }
  return (ratioBare < 20.0 && ratioHandlers < 20.0) ? 0 : 1;
}
