// A test DLL made of the library's own objects, with entry points that let a test drive one
// loaded copy: the same storage, stubs, hook list and trampolines as dlmemb64.dll.
#include <windows.h>

#include "library/entry/hook_stubs.h"
#include "library/extender/classification_atoms.h"
#include "library/extender/window_extender.h"
#include "library/model/class_registry.h"
#include "library/runtime/shared_messages.h"
#include "library/runtime/library_holding_thread.h"
#include "library/runtime/process_local_storage.h"
#include "library/entry/thread_hook_list.h"
#include "library/entry/thread_hook_procs.h"
#include "library/extender/whook.h"
#include "tests/runtime/library_copy_probe.h"

namespace {

using namespace dl::entry;
using namespace dl::extender;

class CountingClient final : public ThreadHookClient {
 public:
  bool PassThrough() noexcept override { return false; }
  bool IsLinkThread(DWORD) noexcept override { return false; }
  void OnCallWndProc(const CWPSTRUCT& message) noexcept override {
    if (message.message == kProbeMessage) ::InterlockedIncrement(&calls);
  }
  void OnCallWndProcRet(const CWPRETSTRUCT&) noexcept override {}
  void OnParkedTrampolineWindowDestroyed(HWND) noexcept override {}
  void OnWindowEvent(DWORD, HWND) noexcept override {}
  LONG calls = 0;
};

CountingClient g_client;

struct Subclass {
  WHook* hook = nullptr;
  LONG calls = 0;
  void Handle(HWND wnd, WindowMessage& message) noexcept {
    ++calls;
    hook->CallOldProc(wnd, message);
  }
} g_subclass;

// Counts what a part of a real extender sees of the messages the test program throws from.
class CountingHandler : public dl::model::TInterfacedObject,
                        public virtual dl::extender::IMessageHandler,
                        public virtual dl::extender::IChildMessageHandler {
 public:
  bool BeforeChildMessage(HWND, WindowMessage& message) override {
    childBefore += message.Msg == kProbeThrowMessage;
    return false;
  }
  void AfterChildMessage(HWND, WindowMessage&, bool) override {}
  bool BeforeMessage(WindowMessage& message) override {
    before += message.Msg == kProbeThrowMessage;
    return false;
  }
  void AfterMessage(WindowMessage& message, bool) override { after += message.Msg == kProbeThrowMessage; }
  LONG before = 0;
  LONG after = 0;
  LONG childBefore = 0;
};

struct Extended {
  dl::model::RefPtr<TWindowExtender> extender;
  dl::model::RefPtr<CountingHandler> handler;
  HWND child = nullptr;
} g_extended;

DWORD WaitForRelease(void* event) noexcept {
  ::WaitForSingleObject(static_cast<HANDLE>(event), 30000);
  return 7;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    ProcessLocalStorage::Instance().Open();
    InitTrampolinePool();
    PrepareHookStubs();
    SetThreadHookClient(&g_client);
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    SetThreadHookClient(nullptr);
    ReleaseHookStubs();
  }
  return TRUE;
}

extern "C" void ProbeStorage(ProbeInfo* info) {
  const ProcessLocalStorage& storage = ProcessLocalStorage::Instance();
  const HookRecord* record = storage.Record();
  *info = ProbeInfo{reinterpret_cast<std::uint64_t>(storage.BusyCounter()),
                    reinterpret_cast<std::uint64_t>(record),
                    reinterpret_cast<std::uint64_t>(storage.StubPage()),
                    record ? record->callWndProcHandler : 0,
                    record ? record->callWndProcRetHandler : 0,
                    record ? record->enabled : 0u};
}

// Hooks a thread and keeps the hooks when this copy goes, as hooks left by an earlier copy.
extern "C" BOOL ProbeHookThread(DWORD threadId) {
  static ThreadLocalHookList* list = new ThreadLocalHookList();
  return list->HookThread(threadId);
}

extern "C" LONG ProbeCallCount() { return g_client.calls; }
extern "C" void ProbeSetEnabled(BOOL enabled) { SetHookStubsEnabled(enabled != FALSE); }

extern "C" void* ProbeSubclass(HWND window) {
  g_subclass.hook = new WHook(window, MakeWndMethod<&Subclass::Handle>(&g_subclass));
  return g_subclass.hook->Trampoline();
}
extern "C" void ProbeUnsubclass() {
  delete g_subclass.hook;
  g_subclass.hook = nullptr;
}
extern "C" LONG ProbeSubclassCount() { return g_subclass.calls; }

// A real window extender of this copy, built from the class registry and attached, with one
// message handler that claims nothing; it also has the child window, when given, subclassed
// for that handler.
extern "C" void* ProbeExtend(HWND window, HWND child) {
  static const bool registered = [] {
    RegisterSharedMessages();
    RegisterClassAtoms();
    RegisterWindowExtenderClass();
    return true;
  }();
  (void)registered;
  auto object = dl::model::CreateObjectByClassName(L"", dl::rules::kWindowExtenderClassName);
  g_extended.extender = dynamic_cast<TWindowExtender*>(object.As<dl::rules::IWindowExtender>().Get());
  if (!g_extended.extender) return nullptr;
  g_extended.extender->AttachWindow(window);
  if (!g_extended.extender->Hook()) return nullptr;
  g_extended.handler = new CountingHandler();
  g_extended.extender->AttachMessageHandler(g_extended.handler.Get());
  if (child) {
    g_extended.child = child;
    g_extended.extender->SubclassChildWindow(child, g_extended.handler.Get());
  }
  return g_extended.extender->Hook()->Trampoline();
}
extern "C" void ProbeUnextend() {
  if (!g_extended.extender) return;
  if (g_extended.child) g_extended.extender->UnsubclassChildWindow(g_extended.child, g_extended.handler.Get());
  g_extended.extender->DetachMessageHandler(g_extended.handler.Get());
  g_extended.extender->DetachWindow();
  g_extended = Extended{};
}
// 0: before, 1: after, 2: before, of the child.
extern "C" LONG ProbeHandlerCount(int which) {
  if (!g_extended.handler) return -1;
  return which == 0 ? g_extended.handler->before : which == 1 ? g_extended.handler->after : g_extended.handler->childBefore;
}

extern "C" BOOL ProbeStartHoldingThread(HANDLE release) {
  return StartLibraryHoldingThread(&WaitForRelease, release);
}
extern "C" LONG ProbeBusyCount() { return StorageBusyCount(); }

// Leaving as the library leaves a process: the handlers are cleared first, then the copy waits
// until no call is inside (a stub counts a call in before it reads a handler), then it may go.
extern "C" BOOL ProbeLeave(LONG idle, DWORD timeoutMs) {
  ReleaseHookStubs();
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (StorageBusyCount() > idle) {
    if (::GetTickCount64() > deadline) return FALSE;
    ::Sleep(1);
  }
  return TRUE;
}
