#pragma once
// Commands the main program sends over the messenger link beside the plug-in commands
// (plugin_commands.h), and the receiver of the rule dispatcher. The library's routing and the
// stand-in main program take them from here.
#include <cstdint>

namespace dl::protocol {

// The rule dispatcher's receiver, for the plug-in commands sent to it.
inline constexpr char kRuleDispatcherReceiver[] = "plugins/RuleDispatcher";

// Without a receiver: the process's multi-monitor center.
inline constexpr std::uint32_t kCommandMonitorsRebuild = 82;  // the monitor block changed: build anew
inline constexpr std::uint32_t kCommandMonitorsRefresh = 83;  // same devices: look at the monitors again

}  // namespace dl::protocol
