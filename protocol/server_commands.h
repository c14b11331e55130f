#pragma once
// Command codes the main program sends over the messenger link, and the receivers they go
// to. The library's routing and the stand-in main program take them from here.
#include <cstdint>

namespace dl::protocol {

// To the rule dispatcher (receiver kRuleDispatcherReceiver).
inline constexpr char kRuleDispatcherReceiver[] = "plugins/RuleDispatcher";
inline constexpr std::uint32_t kCommandRulesChanged = 2;    // a new rule block is published
inline constexpr std::uint32_t kCommandSettingChanged = 4;  // data: the setting's name

// Without a receiver: the process's multi-monitor center.
inline constexpr std::uint32_t kCommandMonitorsRebuild = 82;  // the monitor block changed: build anew
inline constexpr std::uint32_t kCommandMonitorsRefresh = 83;  // same devices: look at the monitors again

}  // namespace dl::protocol
