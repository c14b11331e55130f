#include "library/entry/embedded_application.h"

#include "protocol/messenger_names.h"
#include "protocol/server_commands.h"
#include "platform/callback_guard.h"

namespace dl::entry {
namespace {
constexpr std::wstring_view kPluginsPrefix = L"plugins/";

constexpr DWORD kEventObjectShow = 0x8002;
constexpr DWORD kEventObjectLocationChange = 0x800B;
constexpr DWORD kEventObjectNameChange = 0x800C;

bool ValidInstance(int serverInstance) noexcept { return serverInstance == 0 || serverInstance == 1; }
}  // namespace

TEmbeddedApplication::TEmbeddedApplication(ApplicationEnvironment environment)
    : environment_(std::move(environment)) {
  // Keys are the names the plug-ins report, looked up without regard to case.
  for (auto* create : {&environment_.createRuleDispatcher, &environment_.createVirtualDesktops}) {
    if (!*create) continue;
    if (model::RefPtr<IPlugin> plugin = (*create)()) AddPlugin(plugin.Get());
  }
}

TEmbeddedApplication::~TEmbeddedApplication() {
  try {
    if (environment_.releaseMessenger) environment_.releaseMessenger();
  } catch (...) {
    platform::RecordCallbackFailure("embedded_application: TEmbeddedApplication");
  }
}

void* TEmbeddedApplication::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IPluginHost::kIid) return static_cast<IPluginHost*>(this);
  if (iid == IServerMessageDispatcher::kIid) return static_cast<IServerMessageDispatcher*>(this);
  if (iid == IServerMessageRedirector::kIid) return static_cast<IServerMessageRedirector*>(this);
  return TAbstractItem::FindInterface(iid);
}

model::RefPtr<IPlugin> TEmbeddedApplication::PluginAt(int index) const noexcept {
  return plugins_.GetItemsI(index).As<IPlugin>();
}

void TEmbeddedApplication::Init() {
  model::IItem* self = this;
  for (int i = 0; i < plugins_.GetCount(); ++i)
    if (auto plugin = PluginAt(i)) plugin->Init(self);
  for (int i = 0; i < plugins_.GetCount(); ++i)
    if (auto plugin = PluginAt(i)) plugin->Bind();
  if (environment_.registerDispatcher) environment_.registerDispatcher(this);
}

void TEmbeddedApplication::Done() {
  if (environment_.unregisterDispatcher) environment_.unregisterDispatcher();
  for (int i = plugins_.GetCount() - 1; i >= 0; --i)
    if (auto plugin = PluginAt(i)) plugin->Unbind();
  for (int i = plugins_.GetCount() - 1; i >= 0; --i)
    if (auto plugin = PluginAt(i)) plugin->Done();
  plugins_.Clear();
}

bool TEmbeddedApplication::IsUnloading() const noexcept { return isUnloading_.load(std::memory_order_acquire); }

void TEmbeddedApplication::OnUnloading() {
  isUnloading_.store(true, std::memory_order_release);
  if (environment_.setHookRecordEnabled) environment_.setHookRecordEnabled(false);
  Broadcast(kBroadcastUnloading, {});
}

void TEmbeddedApplication::OnReloading() {
  isUnloading_.store(false, std::memory_order_release);
  if (environment_.setHookRecordEnabled) environment_.setHookRecordEnabled(true);
}

HWND TEmbeddedApplication::GetMainCenterWindow() const noexcept { return CenterWindow(0); }

HWND TEmbeddedApplication::CenterWindow(int serverInstance) const noexcept {
  return ValidInstance(serverInstance) ? centerWnd_[static_cast<std::size_t>(serverInstance)].load() : nullptr;
}

void TEmbeddedApplication::OnWindowMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Only a taskbar-support plug-in takes window messages; this library installs none.
  if (auto plugin = GetPlugin(L"TaskbarSupport")) plugin->OnWindowMessage(wnd, msg, wParam, lParam);
}

void TEmbeddedApplication::AddPlugin(IPlugin* plugin) {
  if (!plugin) return;
  plugins_.Add(plugin, false, plugin->GetName());
}

model::RefPtr<IPlugin> TEmbeddedApplication::GetPlugin(std::wstring_view name) const {
  if (name.empty()) return {};
  return plugins_.GetItemsK(name).As<IPlugin>();
}

bool TEmbeddedApplication::NeedWinEventHook(DWORD eventId) const {
  switch (eventId) {
    case kEventObjectShow:
      return environment_.reducedHookProcess;
    case kEventObjectLocationChange:
      for (const wchar_t* name : {L"MouseClip", L"MultimonProfiles", L"Scaler", kVirtualDesktopsPluginName})
        if (GetPlugin(name)) return true;
      return false;
    case kEventObjectNameChange:
      return true;
    default:
      return false;
  }
}

void TEmbeddedApplication::OnMessageFromServer(HWND receiverWnd, std::wstring_view receiver, int commandCode,
                                               const CommandData& data) {
  const auto prefix = receiver.find(kPluginsPrefix);
  if (prefix == std::wstring_view::npos) {
    if ((commandCode == static_cast<int>(protocol::kCommandMonitorsRebuild) ||
         commandCode == static_cast<int>(protocol::kCommandMonitorsRefresh)) &&
        environment_.monitorCommand)
      environment_.monitorCommand(commandCode);
    return;  // every other command without a plug-in path is dropped
  }
  const std::wstring_view path = receiver.substr(prefix + kPluginsPrefix.size());
  const auto slash = path.find(L'/');
  const std::wstring_view name = path.substr(0, slash);
  auto plugin = GetPlugin(name);
  if (!plugin) return;
  if (slash == std::wstring_view::npos) {
    plugin->OnMessageFromServer(commandCode, data);
    return;
  }
  if (auto redirector = plugin.As<IServerMessageRedirector>())
    redirector->OnMessageFromServer(receiverWnd, path.substr(slash + 1), commandCode, data);
}

void TEmbeddedApplication::OnClientRegistered(HWND messengerWnd, int serverInstance) {
  if (!ValidInstance(serverInstance)) return;
  HWND handler = environment_.findWindow ? environment_.findWindow(protocol::kHandlerWindowClass[serverInstance],
                                                                   protocol::kHandlerWindowTitle)
                                         : nullptr;
  centerWnd_[static_cast<std::size_t>(serverInstance)].store(handler);
  // Window handles fit in 32 bits across processes; the field carries the low half.
  const auto packed = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(messengerWnd));
  Broadcast(serverInstance == 0 ? kBroadcastServerRegistered : kBroadcastShellServerRegistered,
            PackIntegerField(packed));
}

void TEmbeddedApplication::OnClientUnregistered(int serverInstance) {
  if (!ValidInstance(serverInstance)) return;
  centerWnd_[static_cast<std::size_t>(serverInstance)].store(nullptr);
  Broadcast(serverInstance == 0 ? kBroadcastServerUnregistered : kBroadcastShellServerUnregistered, {});
}

void TEmbeddedApplication::Broadcast(int commandCode, const CommandData& data) noexcept {
  for (int i = 0; i < plugins_.GetCount(); ++i) {
    // One failing plug-in must not keep the notice from the others.
    try {
      if (auto plugin = PluginAt(i)) plugin->OnMessageFromServer(commandCode, data);
    } catch (...) {
      platform::RecordCallbackFailure("embedded_application: Broadcast");
    }
  }
}

}  // namespace dl::entry
