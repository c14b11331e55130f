#pragma once
// The two plug-ins every application installs: the rule dispatcher, and (until the
// virtual-desktops plug-in is built) a plain plug-in with that name and life cycle.
#include "library/runtime/plugin_abstract.h"

namespace dl::entry {

[[nodiscard]] model::RefPtr<IPlugin> CreateRuleDispatcherPlugin();
[[nodiscard]] model::RefPtr<IPlugin> CreateVirtualDesktopsPlugin();

}  // namespace dl::entry
