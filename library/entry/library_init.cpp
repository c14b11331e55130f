#include "library/entry/library_init.h"

#include <atomic>

#include "library/runtime/library_services.h"
#include "library/entry/hook_stubs.h"
#include "library/entry/messenger_binding.h"
#include "library/runtime/process_local_storage.h"
#include "library/entry/noninvasive_records.h"
#include "library/entry/plugin_host_environment.h"
#include "library/entry/process_gate.h"
#include "protocol/entry_state.h"
#include "library/runtime/shared_messages.h"
#include "library/entry/thread_hook_client.h"
#include "library/extender/classification_atoms.h"
#include "library/extender/classification_windows.h"
#include "library/extender/monitor_subscription.h"
#include "library/extender/process_flags.h"
#include "library/extender/wndproc_trampoline.h"
#include "library/link/process_monitor_center.h"
#include "platform/callback_guard.h"

namespace dl::entry {
namespace {

constinit HINSTANCE g_instance = nullptr;
constinit std::atomic<bool> g_terminating{false};
constinit std::atomic<bool> g_applicationStarted{false};

using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);

// Lets the main program's messages through the privilege filter of elevated processes.
// The function is absent on old systems; the step is skipped there.
void AllowSharedMessagesThroughFilter() noexcept {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (!user32) return;
  auto change = reinterpret_cast<ChangeWindowMessageFilterFn>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "ChangeWindowMessageFilter")));
  if (!change) return;
  constexpr DWORD kMsgFltAdd = 1;
  const SharedMessages& messages = Messages();
  if (messages.service) change(messages.service, kMsgFltAdd);
  if (messages.taskbarCreated) change(messages.taskbarCreated, kMsgFltAdd);
}

void ComputeGate() {
  GateInputs inputs = ReadGateInputs();
  GateFlags flags = ComputeGateFlags(inputs);
  flags.hasConsole = ::GetConsoleWindow() != nullptr;
  SetProcessGate(flags, inputs.os);
}

// The process's multi-monitor center, made at its first use, and the extenders' way to
// subscribe to it.
void StartMonitorCenter() noexcept {
  link::CreateProcessMonitorCenterAtFirstUse();
  extender::SetMonitorSubscriptionRoutines(
      {&link::SubscribeToProcessMonitorCenter, &link::UnsubscribeFromProcessMonitorCenter});
}

void StopMonitorCenter() noexcept {
  extender::SetMonitorSubscriptionRoutines({});
  link::ReleaseProcessMonitorCenter();
}

void StartApplication() noexcept {
  g_applicationStarted.store(true, std::memory_order_release);
  IEmbeddedApplication* app = CreateEmbeddedApplication();
  if (!app) return;
  Services().application.store(app, std::memory_order_release);
  try {
    app->Init();
  } catch (...) {
    // A half-started application still answers the hooks; Done runs at detach.
  }
}

}  // namespace

void OnProcessAttach(HINSTANCE instance) noexcept {
  g_instance = instance;
  RegisterSharedMessages();
  // State that survives reloads in this process, and the trampoline pool kept in it.
  ProcessLocalStorage::Instance().Open();
  extender::InitTrampolinePool();
  Services().releaseTrampoline.store(
      [](LPARAM trampoline) noexcept { extender::FreeParkedTrampoline(reinterpret_cast<void*>(trampoline)); },
      std::memory_order_release);
  Services().hookStubsEnabled.store(&HookStubsEnabled, std::memory_order_release);
  // Process classification, once per load. The class atoms are registered when a window is
  // first tested: most processes retrieve their first message long after this.
  (void)extender::CurrentProcessFlags();
  Services().isTopLevelApplicationWindow.store(&extender::IsTopLevelApplicationWindow, std::memory_order_release);
  StartMonitorCenter();
  AllowSharedMessagesThroughFilter();
  try {
    ComputeGate();
  } catch (...) {
    // Without the inputs the process counts as an ordinary one.
  }
  PrepareHookStubs();
  SetThreadHookClient(&LibraryThreadHookClient());
  if (!ProcessGate().inert) StartApplication();
}

void OnProcessDetach(bool processTerminating) noexcept {
  auto& services = Services();
  bool terminating = processTerminating;
  try {
    // Before Windows 7 a console process ends with its threads still talking to the
    // messenger: close the client now.
    if (terminating && !ProcessOsVersion().AtLeast(6, 1) && ::GetConsoleWindow()) {
      terminating = false;
      auto* app = services.application.load(std::memory_order_acquire);
      if (!app || !app->IsUnloading()) {
        if (auto* messenger = services.messenger.load(std::memory_order_acquire)) messenger->Done();
      }
    }
  } catch (...) {
    platform::RecordCallbackFailure("library_init: OnProcessDetach");
  }
  g_terminating.store(terminating, std::memory_order_release);
  // A terminating process is ending anyway: nothing is torn down then.
  if (terminating) return;
  if (ProcessGate().inert) {
    StopMonitorCenter();
    ReleaseHookStubs();
    return;
  }
  if (auto* app = services.application.exchange(nullptr, std::memory_order_acq_rel)) {
    try {
      app->Done();
    } catch (...) {
      platform::RecordCallbackFailure("library_init: OnProcessDetach");
    }
    try {
      app->Release();
    } catch (...) {
      platform::RecordCallbackFailure("library_init: OnProcessDetach");
    }
  }
  // The extenders have unsubscribed in Done.
  StopMonitorCenter();
  SetThreadHookClient(nullptr);
  FreeAllRecords();
  ReleaseSharedAtoms();
  // Last: the stubs must not call into this image once it is gone. The trampoline pool stays
  // where it is, in the process, for the other copies.
  ReleaseHookStubs();
}

void OnThreadAttach() noexcept {
  if (auto routine = Services().threadAttachRoutine.load(std::memory_order_acquire)) routine();
}

void OnThreadDetach() noexcept {
  if (auto routine = Services().threadDetachRoutine.load(std::memory_order_acquire)) routine();
}

HINSTANCE LibraryInstance() noexcept { return g_instance; }
bool ProcessIsTerminating() noexcept { return g_terminating.load(std::memory_order_acquire); }

unsigned CurrentEntryState() noexcept {
  const GateFlags& gate = ProcessGate();
  unsigned bits = 0;
  if (g_applicationStarted.load(std::memory_order_acquire)) bits |= protocol::kEntryApplicationStarted;
  if (Services().application.load(std::memory_order_acquire)) bits |= protocol::kEntryApplicationPresent;
  if (gate.inert) bits |= protocol::kEntryInertProcess;
  if (gate.reducedHook) bits |= protocol::kEntryReducedHookProcess;
  if (gate.shellViewCompat) bits |= protocol::kEntryShellViewCompat;
  if (auto* app = Services().application.load(std::memory_order_acquire); app && app->IsUnloading())
    bits |= protocol::kEntryUnloading;
  return bits | MessengerStateBits();
}

}  // namespace dl::entry
