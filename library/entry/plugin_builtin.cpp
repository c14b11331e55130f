#include "library/entry/plugin_builtin.h"

#include "library/entry/dispatcher_environment.h"
#include "library/rules/rule_dispatcher.h"

namespace dl::entry {

model::RefPtr<IPlugin> CreateRuleDispatcherPlugin() { return rules::CreateRuleDispatcher(ProcessDispatcherEnvironment()); }

model::RefPtr<IPlugin> CreateVirtualDesktopsPlugin() {
  return model::RefPtr<IPlugin>(new TAbstractPlugin(kVirtualDesktopsPluginName));
}

}  // namespace dl::entry
