#pragma once
// The rule-checksum marks on windows that received a parameter string: two window
// properties by global atom, "..._RuleCRC" (the checksum) and "..._RuleCRCValid" (1).
// They live on the window itself and survive a library reload.
#include <windows.h>

#include <cstdint>
#include <optional>

#include "protocol/product_guid.h"

namespace dl::rules {

inline constexpr wchar_t kRuleCrcMarkName[] = DL_PRODUCT_GUID L"_RuleCRC";
inline constexpr wchar_t kRuleCrcValidMarkName[] = DL_PRODUCT_GUID L"_RuleCRCValid";

void SetWindowMarks(HWND wnd, std::uint32_t checksum) noexcept;
void RemoveWindowMarks(HWND wnd) noexcept;
// The checksum when the window carries the valid mark, else nothing.
[[nodiscard]] std::optional<std::uint32_t> ReadWindowMarks(HWND wnd) noexcept;

// Adds the two global atoms (once per library load). They are never deleted: marked
// windows keep their properties across reloads, and the atoms must keep their numbers.
void AddWindowMarkAtoms() noexcept;

}  // namespace dl::rules
