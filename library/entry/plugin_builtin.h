#pragma once
// The two plug-ins every application installs. Until the rule dispatcher and the
// virtual-desktops plug-in are built, these are plain plug-ins with the right names
// and life cycle (the dispatcher one also accepts commands for sub-receivers); the
// real classes replace what these functions return.
#include "library/entry/plugin_abstract.h"

namespace dl::entry {

[[nodiscard]] model::RefPtr<IPlugin> CreateRuleDispatcherPlugin();
[[nodiscard]] model::RefPtr<IPlugin> CreateVirtualDesktopsPlugin();

}  // namespace dl::entry
