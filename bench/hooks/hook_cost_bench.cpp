// What the library's hooks cost the applications they run in, against bare hooks of the same
// kind, in one run: posted messages through the get-message hook, sent messages and window churn
// through the per-thread hooks (stubs and handlers), and process start with the library loaded
// against a bare hook library. Rounds are interleaved and the medians compared; prints ratios.
// The library's hook procedures, stubs, per-thread hook list and handlers are the real ones,
// initialised as the library initialises; the collaborators it would only have with a main
// program (application, messenger, an active dispatcher that extends none of these windows) are
// the entry tests' stand-ins. The process-start rounds run start_probe (see start_steps_bench
// for where that time goes). Fails only when a path is broken.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "library/runtime/library_services.h"
#include "library/entry/global_hook_procs.h"
#include "library/entry/hook_stubs.h"
#include "library/entry/library_init.h"
#include "library/entry/process_gate.h"
#include "library/runtime/process_local_storage.h"
#include "library/entry/thread_hook_client.h"
#include "library/entry/thread_hook_list.h"
#include "library/entry/thread_hook_procs.h"
#include "library/extender/classification_windows.h"
#include "library/extender/process_flags.h"
#include "library/extender/wndproc_trampoline.h"
#include "library/runtime/shared_messages.h"
#include "library/extender/noninvasive_marks.h"
#include "tests/entry/fake_collaborators.h"
#include "tests/support/bin_dir.h"

namespace {

using namespace dl;
using namespace dl::entry;

constexpr int kRounds = 9;
constexpr UINT kWork = WM_APP + 3;

LRESULT CALLBACK BareGetMessage(int code, WPARAM wParam, LPARAM lParam) {
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
LRESULT CALLBACK BareCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
LRESULT CALLBACK BareCallWndProcRet(int code, WPARAM wParam, LPARAM lParam) {
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

double Seconds(const std::function<void()>& work) {
  LARGE_INTEGER f, a, b;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&a);
  work();
  ::QueryPerformanceCounter(&b);
  return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

class HookListFace final : public IThreadLocalHookList {
 public:
  explicit HookListFace(ThreadHookSettings settings) : list_(settings) {}
  bool HookThread(DWORD threadId) override { return list_.HookThread(threadId); }
  void UnhookThread(DWORD threadId) override { list_.UnhookThread(threadId); }
  void Clear() override { list_.Clear(); }

 private:
  ThreadLocalHookList list_;
};

enum class Workload { kPosted, kSent, kChurn, kCheck, kStop };

// A thread with its own window and hooks; it runs one workload at a time when asked.
class HookedThread {
 public:
  explicit HookedThread(bool library) : library_(library) {
    go_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    done_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    thread_ = std::thread([this] { Run(); });
    ::WaitForSingleObject(done_, INFINITE);
  }
  ~HookedThread() {
    Ask(Workload::kStop, 0);
    thread_.join();
    ::CloseHandle(go_);
    ::CloseHandle(done_);
  }
  // Waits on events, not in a spin: the window server needs the processor these runs share.
  double Ask(Workload w, int count) {
    work_ = w;
    count_ = count;
    ::SetEvent(go_);
    ::WaitForSingleObject(done_, INFINITE);
    return seconds_;
  }
  bool ok() const { return ok_; }
  // Brackets the next workloads with two atom look-ups, which a window-server trace shows by name.
  void MarkWorkloads() { marks_ = true; }
  long delivered() const { return delivered_; }

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kWork) {
      auto* self = reinterpret_cast<HookedThread*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
      if (self) ++self->delivered_;
      return 1;
    }
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
  }

  void Run() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"dl_hook_cost_window";
    ::RegisterClassW(&wc);
    HWND wnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const DWORD tid = ::GetCurrentThreadId();
    HHOOK hooks[3] = {};
    if (library_) {
      // The global hook as it runs in this thread; its first message installs the per-thread
      // hooks through the stubs, as in every hooked thread.
      hooks[0] = ::SetWindowsHookExW(WH_GETMESSAGE, &GetMessageProc, nullptr, tid);
      ::PostMessageW(wnd, WM_NULL, 0, 0);
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      auto* list = Services().threadHookList.load();
      ok_ = hooks[0] && list;
    } else {
      hooks[0] = ::SetWindowsHookExW(WH_GETMESSAGE, &BareGetMessage, nullptr, tid);
      hooks[1] = ::SetWindowsHookExW(WH_CALLWNDPROC, &BareCallWndProc, nullptr, tid);
      hooks[2] = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &BareCallWndProcRet, nullptr, tid);
      ok_ = hooks[0] && hooks[1] && hooks[2];
    }
    if (library_ && ok_) ok_ = PerThreadHooksReachTheLibrary(wnd);
    ::SetEvent(done_);
    for (;;) {
      ::WaitForSingleObject(go_, INFINITE);
      const int n = count_;
      if (work_ == Workload::kStop) break;
      if (marks_) ::GlobalFindAtomW(L"dl_count_begin");
      switch (work_) {
        case Workload::kPosted:
          seconds_ = Seconds([&] {
            MSG msg;
            for (int i = 0; i < n; ++i) {
              ::PostMessageW(wnd, kWork, i, 0);
              if (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
            }
          });
          break;
        case Workload::kSent:
          seconds_ = Seconds([&] {
            for (int i = 0; i < n; ++i) ::SendMessageW(wnd, kWork, i, 0);
          });
          break;
        case Workload::kChurn:
          seconds_ = Seconds([&] {
            for (int i = 0; i < n; ++i) {
              HWND w = ::CreateWindowExW(0, wc.lpszClassName, L"churn", WS_OVERLAPPEDWINDOW, 10, 10, 120, 80, nullptr,
                                         nullptr, wc.hInstance, nullptr);
              ::ShowWindow(w, SW_SHOWNOACTIVATE);
              ::SetWindowTextW(w, L"churned");
              ::DestroyWindow(w);
            }
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
          });
          break;
        case Workload::kCheck:
          seconds_ = library_ ? (PerThreadHooksReachTheLibrary(wnd) ? 1 : 0) : 1;
          break;
        default:
          break;
      }
      if (marks_) ::GlobalFindAtomW(L"dl_count_end");
      ::SetEvent(done_);
    }
    if (library_) {
      if (auto* list = Services().threadHookList.load()) list->UnhookThread(tid);
    }
    for (HHOOK h : hooks)
      if (h) ::UnhookWindowsHookEx(h);
    ::DestroyWindow(wnd);
    ::SetEvent(done_);
  }

  // Before measuring: a sent message reaches the library's handler through the stubs (seen by a
  // dispatcher that extends this one window for the moment, non-invasively).
  static bool PerThreadHooksReachTheLibrary(HWND wnd) {
    auto* dispatcher = static_cast<entry::test::FakeDispatcher*>(Services().processHook.load());
    const ATOM atom = Messages().noninvasiveAtom;
    if (!dispatcher || !atom) return false;
    dispatcher->extendedWindow = wnd;
    extender::MarkNoninvasive(wnd, atom);
    ::SendMessageW(wnd, kWork, 0, 0);
    const bool reached = !dispatcher->extender.handler.before.empty();
    extender::ForgetNoninvasive(wnd);
    ::RemovePropW(wnd, MAKEINTATOM(atom));
    dispatcher->extendedWindow = nullptr;
    dispatcher->extender.handler.before.clear();
    return reached;
  }

  const bool library_;
  std::thread thread_;
  HANDLE go_ = nullptr, done_ = nullptr;
  std::atomic<Workload> work_{Workload::kPosted};
  std::atomic<int> count_{0};
  double seconds_ = 0;
  bool ok_ = false;
  bool marks_ = false;
  long delivered_ = 0;
};

// One child process that loads the library (or the bare hook library) and retrieves a message:
// start_probe, which imports only what a small GUI program imports (kernel32, user32, the C
// runtime), so that whatever else the library brings in is counted; with window, it makes its
// window first, as a GUI program has one before its first message.
double StartChild(const std::wstring& dll, bool window) {
  const std::wstring probe = dl::test::BinDir() + L"\\start_probe.exe";
  std::wstring commandLine = L"\"" + probe + L"\"" + (window ? L" --window" : L"") + L" bare \"" + dll + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  double seconds = -1;
  seconds = Seconds([&] {
    if (!::CreateProcessW(probe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      return;
    ::WaitForSingleObject(pi.hProcess, 60000);
  });
  DWORD code = 1;
  if (pi.hProcess) {
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
  }
  return code == 0 ? seconds : -1;
}

void Report(const char* what, double bare, double library, int n, double goal) {
  std::printf("%-34s bare %9.2f us   library %9.2f us   ratio %.2f (goal <= %.2f)\n", what, 1e6 * bare / n,
              1e6 * library / n, library / bare, goal);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The library's initialisation without the application (whose messenger would unload it here,
  // with no main program to talk to), and the per-thread hook list as the dispatcher makes it.
  ProcessLocalStorage::Instance().Open();
  RegisterSharedMessages();
  extender::InitTrampolinePool();
  Services().hookStubsEnabled.store(&HookStubsEnabled);
  (void)extender::CurrentProcessFlags();
  Services().isTopLevelApplicationWindow.store(&extender::IsTopLevelApplicationWindow);
  SetProcessGate(ComputeGateFlags(ReadGateInputs()), ReadOsVersion());
  PrepareHookStubs();
  SetThreadHookClient(&LibraryThreadHookClient());
  ThreadHookSettings settings;
  // The events the application asks for in an ordinary process: location and name changes.
  settings.needWinEventHook = [](DWORD event) { return event == EVENT_OBJECT_LOCATIONCHANGE || event == EVENT_OBJECT_NAMECHANGE; };
  HookListFace list(settings);
  Services().threadHookList.store(&list);
  entry::test::FakeApplication application;
  entry::test::FakeMessenger messenger;
  entry::test::FakeDispatcher dispatcher;
  Services().application.store(&application);
  Services().messenger.store(&messenger);
  Services().messengerInternal.store(nullptr);
  Services().messengerResumeWanted.store(false);
  Services().processHook.store(&dispatcher);

  // --count posted|sent|churn <n> bare|library: one marked workload, for a window-server trace.
  if (argc == 5 && std::wcscmp(argv[1], L"--count") == 0) {
    const Workload work = std::wcscmp(argv[2], L"posted") == 0 ? Workload::kPosted
                          : std::wcscmp(argv[2], L"sent") == 0 ? Workload::kSent
                                                               : Workload::kChurn;
    HookedThread thread(std::wcscmp(argv[4], L"library") == 0);
    if (!thread.ok()) return 1;
    thread.Ask(work, 20);  // warm-up: first-use work is not what is counted
    thread.MarkWorkloads();
    thread.Ask(work, std::max(1, _wtoi(argv[3])));
    return 0;
  }

  int status = 0;
  {
    HookedThread library(true), bare(false), bare2(false);
    if (!bare.ok() || !library.ok()) {
      std::puts("hook_cost_bench: the hooks could not be installed, or the library's are not reached");
      return 1;
    }
    struct Row {
      const char* name;
      Workload work;
      int count;
      double goal;
    };
    const Row rows[] = {{"posted message (get-message hook)", Workload::kPosted, 4000, 1.05},
                        {"sent message (per-thread hooks)", Workload::kSent, 4000, 1.05},
                        {"window churn (per-thread hooks)", Workload::kChurn, 15, 1.10}};
    std::printf("library hooks reached before the rounds: %s\n", library.Ask(Workload::kCheck, 0) == 1 ? "yes" : "no");
    for (const Row& row : rows) {
      bare.Ask(row.work, row.count / 10);  // warm-up
      library.Ask(row.work, row.count / 10);
      std::vector<double> b, l, c;
      for (int round = 0; round < kRounds; ++round) {
        b.push_back(bare.Ask(row.work, row.count));
        l.push_back(library.Ask(row.work, row.count));
        c.push_back(bare2.Ask(row.work, row.count));
      }
      Report(row.name, Median(b), Median(l), row.count, row.goal);
      std::printf("  (a second bare thread: ratio %.2f; library hooks still reached: %s)\n", Median(c) / Median(b),
                  library.Ask(Workload::kCheck, 0) == 1 ? "yes" : "no");
      if (Median(l) / Median(b) > 20.0) status = 1;
    }
    if (library.delivered() == 0 || bare.delivered() == 0) {
      std::puts("hook_cost_bench: the messages never reached the windows");
      status = 1;
    }
  }

  const std::wstring bin = dl::test::BinDir();
  const std::wstring bareDll = bin + L"\\bare_hook.dll", libraryDll = bin + L"\\dlmemb64.dll";
  for (bool window : {false, true}) {
    std::vector<double> b, l;
    StartChild(bareDll, window);  // warm-up: the files in the cache
    StartChild(libraryDll, window);
    for (int round = 0; round < kRounds; ++round) {
      b.push_back(StartChild(bareDll, window));
      l.push_back(StartChild(libraryDll, window));
    }
    if (*std::min_element(b.begin(), b.end()) < 0 || *std::min_element(l.begin(), l.end()) < 0) {
      std::puts("hook_cost_bench: a child process failed");
      return 1;
    }
    Report(window ? "process start, window first" : "process start (library loaded)", Median(b), Median(l), 1, 1.10);
  }
  return status;
}
