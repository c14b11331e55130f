#pragma once
// The comparisons of window-rule criteria that need nothing from the system.
#include <string_view>

namespace dl::model {

// The class name contains the pattern (case-sensitive), or both begin with "Afx:",
// split at ":" into at least three parts, and agree in their second and third parts
// (module instance and class style; later parts change from run to run).
[[nodiscard]] bool ClassCriterionMatches(std::string_view pattern, std::string_view className) noexcept;

// File-name wildcards as the shell matches them: "*" any run, "?" one character,
// letters compared without regard to ASCII case; a pattern list separated by ";"
// matches when one of its patterns does, and "*.*" matches any name. Used where the
// system's own matcher is not available (the native tree).
[[nodiscard]] bool WildcardSpecMatches(std::string_view spec, std::string_view name) noexcept;

}  // namespace dl::model
