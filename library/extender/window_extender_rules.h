#pragma once
// The decisions an extender takes from names alone at attach: whether a window is followed
// without subclassing, the timer-id seed of the process, the icon and registry lookups of its
// rule. Platform-free so that they can be checked from tables.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dl::extender {

// Applications that break when their frame is subclassed: their windows are followed through
// the hooks only. lowerExePath is the executable's full path in lower case.
[[nodiscard]] bool NeedsNoninvasiveFollowing(std::wstring_view className, std::wstring_view lowerExePath,
                                             bool smartMaximiseLoaded);

// Processes whose own timers collide with ids from 0 get the extender's timers from 100.
[[nodiscard]] int TimerIdSeedFor(std::wstring_view lowerExeName, std::wstring_view lowerExePath);

// The value of the entry `name` in "name=value;name=value" text, when it is exactly eight
// hexadecimal digits: the four bytes they encode, read in memory order.
[[nodiscard]] std::optional<std::uint32_t> SpecialIconHandle(std::wstring_view specialIcons, std::wstring_view name);

// The registry key under which window parts keep settings for the rule.
[[nodiscard]] std::wstring RegistryParamsPathFor(std::wstring_view ruleName);

// "rule;class;HANDLE;TWindowExtender;operation;detail", the extender's event-log line.
[[nodiscard]] std::wstring ExtenderLogLine(std::wstring_view ruleName, std::wstring_view className,
                                           std::uintptr_t handle, std::wstring_view operation,
                                           std::wstring_view detail);

// "Class{params}" or "Class": the class name and the object's own parameter string.
struct PartSpec {
  std::wstring className;
  std::wstring params;
};
[[nodiscard]] PartSpec SplitPartSpec(std::wstring_view value);

}  // namespace dl::extender
