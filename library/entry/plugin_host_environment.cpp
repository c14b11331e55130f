#include "library/entry/plugin_host_environment.h"

#include <atomic>

#include "library/entry/hook_stubs.h"
#include "library/entry/messenger_binding.h"
#include "library/entry/plugin_builtin.h"
#include "library/entry/process_gate.h"
#include "library/extender/window_extender.h"
#include "library/link/process_monitor_center.h"

namespace dl::entry {
namespace {

constinit std::atomic<bool> g_classesRegistered{false};

// What the hook procedures hold. Release ends the application's life in this process.
class HookFacade final : public IEmbeddedApplication {
 public:
  explicit HookFacade(model::RefPtr<TEmbeddedApplication> app) : app_(std::move(app)) {}
  void Init() override { app_->Init(); }
  void Done() override { app_->Done(); }
  bool IsUnloading() override { return app_->IsUnloading(); }
  void OnReloading() override { app_->OnReloading(); }
  bool NeedWinEventHook(DWORD eventId) override { return app_->NeedWinEventHook(eventId); }
  void Release() override { delete this; }

 private:
  ~HookFacade() = default;
  model::RefPtr<TEmbeddedApplication> app_;
};

}  // namespace

ApplicationEnvironment ProcessApplicationEnvironment() {
  ApplicationEnvironment env;
  env.createRuleDispatcher = CreateRuleDispatcherPlugin;
  env.createVirtualDesktops = CreateVirtualDesktopsPlugin;
  env.setHookRecordEnabled = [](bool enabled) { SetHookStubsEnabled(enabled); };
  env.findWindow = [](const char* className, const char* title) { return ::FindWindowA(className, title); };
  env.reducedHookProcess = ProcessGate().reducedHook;
  env.monitorCommand = [](int commandCode) { link::OnMonitorCommand(commandCode); };
  // The messenger members are filled once the client exists (CreateProcessMessenger).
  return env;
}

void RegisterLibraryClasses() noexcept {
  if (g_classesRegistered.exchange(true)) return;
  // The extender class; the extender subsystem's own class takes the name once it exists.
  extender::RegisterWindowExtenderClass();
  // Each type name is registered here as its class is added to the library:
  // MOVETOVIRTUALDESKTOPACTION, CAPTIONBUTTONAGENT, CAPTIONBUTTONTOGGLEAGENT,
  // CAPTIONBUTTONTRIGGER, WINDOWMENUAGENT, WINDOWMENUTRIGGER, MESSAGEAGENT,
  // WMCREATEMESSAGETRIGGER, HOTKEYSAGENT, HOTKEYSTRIGGER.
}

IEmbeddedApplication* CreateProcessApplication() noexcept {
  try {
    RegisterLibraryClasses();
    ApplicationEnvironment environment = ProcessApplicationEnvironment();
    // The client exists before the application so that the application's environment can
    // reach it; its thread does nothing until it is resumed, after Init.
    CreateProcessMessenger(environment);
    model::RefPtr<TEmbeddedApplication> app(new TEmbeddedApplication(std::move(environment)));
    return new HookFacade(std::move(app));
  } catch (...) {
    return nullptr;
  }
}

}  // namespace dl::entry
