#pragma once
// The per-process embedded application: a small plug-in host that owns the plug-ins,
// brings them up and down in order, routes the main program's commands to them and
// carries the process's unloading state.
#include <windows.h>

#include <array>
#include <atomic>
#include <functional>

#include "library/runtime/plugin_interfaces.h"
#include "library/model/collections.h"

namespace dl::entry {

// What the application needs from the rest of the process. Every member may be
// empty: the corresponding step then does nothing.
struct ApplicationEnvironment {
  // Makes the application the messenger client's dispatcher, and undoes it.
  std::function<void(IServerMessageDispatcher*)> registerDispatcher;
  std::function<void()> unregisterDispatcher;
  // Drops the process's reference to its messenger client.
  std::function<void()> releaseMessenger;
  // The enabled flag of the process's hook record.
  std::function<void(bool)> setHookRecordEnabled;
  // A top-level window by class and title, or none.
  std::function<HWND(const char* className, const char* title)> findWindow;
  // The multi-monitor center's rebuild and refresh commands (protocol/server_commands.h).
  std::function<void(int commandCode)> monitorCommand;
  // Creates the two plug-ins, in this order.
  std::function<model::RefPtr<IPlugin>()> createRuleDispatcher;
  std::function<model::RefPtr<IPlugin>()> createVirtualDesktops;
  bool reducedHookProcess = false;
};

class TEmbeddedApplication
    : public model::ObjectClass<TEmbeddedApplication, model::TAbstractItem, L"TEmbeddedApplication">,
      public virtual IPluginHost,
      public virtual IServerMessageDispatcher {
 public:
  explicit TEmbeddedApplication(ApplicationEnvironment environment);
  ~TEmbeddedApplication() override;

  // IPluginHost (the application's own operations).
  void Init() override;
  void Done() override;
  [[nodiscard]] bool IsUnloading() const noexcept override;
  void OnReloading() override;
  [[nodiscard]] HWND GetMainCenterWindow() const noexcept override;
  void OnWindowMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  void AddPlugin(IPlugin* plugin) override;
  [[nodiscard]] model::RefPtr<IPlugin> GetPlugin(std::wstring_view name) const override;
  [[nodiscard]] bool NeedWinEventHook(DWORD eventId) const override;

  // IServerMessageDispatcher.
  void OnMessageFromServer(HWND receiverWnd, std::wstring_view receiver, int commandCode,
                           const CommandData& data) override;
  void OnClientRegistered(HWND messengerWnd, int serverInstance) override;
  void OnClientUnregistered(int serverInstance) override;
  void OnUnloading() override;

  [[nodiscard]] int PluginCount() const noexcept { return plugins_.GetCount(); }
  [[nodiscard]] HWND CenterWindow(int serverInstance) const noexcept;

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;

 private:
  [[nodiscard]] model::RefPtr<IPlugin> PluginAt(int index) const noexcept;
  void Broadcast(int commandCode, const CommandData& data) noexcept;

  ApplicationEnvironment environment_;
  model::TInterfaceCollection plugins_;  // IPlugin references by name, in insertion order
  std::array<std::atomic<HWND>, 2> centerWnd_{};
  std::atomic<bool> isUnloading_{false};
};

}  // namespace dl::entry
