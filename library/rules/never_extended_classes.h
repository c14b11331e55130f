#pragma once
// Window classes that never get an extender: system helper windows, other products'
// overlays and this system's own windows. Exact, case-sensitive names.
#include <string_view>

namespace dl::rules {

// The class name as window classification composes it.
[[nodiscard]] bool IsNeverExtendedClass(std::wstring_view className) noexcept;
// The list itself, each entry with ";" before and after it.
[[nodiscard]] std::wstring_view NeverExtendedClassList() noexcept;

}  // namespace dl::rules
