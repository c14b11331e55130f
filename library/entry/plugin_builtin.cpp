#include "library/entry/plugin_builtin.h"

namespace dl::entry {
namespace {

// Takes commands for window parts below it; they have nowhere to go yet.
class TRedirectingPlugin : public TAbstractPlugin, public virtual IServerMessageRedirector {
 public:
  using TAbstractPlugin::TAbstractPlugin;
  using TAbstractPlugin::OnMessageFromServer;
  void OnMessageFromServer(HWND, std::wstring_view, int, const CommandData&) override {}

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override {
    if (iid == IServerMessageRedirector::kIid) return static_cast<IServerMessageRedirector*>(this);
    return TAbstractPlugin::FindInterface(iid);
  }
};

}  // namespace

model::RefPtr<IPlugin> CreateRuleDispatcherPlugin() {
  return model::RefPtr<IPlugin>(new TRedirectingPlugin(kRuleDispatcherPluginName));
}

model::RefPtr<IPlugin> CreateVirtualDesktopsPlugin() {
  return model::RefPtr<IPlugin>(new TAbstractPlugin(kVirtualDesktopsPluginName));
}

}  // namespace dl::entry
