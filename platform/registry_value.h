#pragma once
// Small readers of registry values.
#include <windows.h>

#include <optional>
#include <string>

namespace dl::platform {

std::optional<std::wstring> ReadRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* name);

// A value read as a boolean: any number (nonzero is true), or the words
// "True"/"False" in any case. nullopt when missing or unreadable.
std::optional<bool> ReadRegistryBool(HKEY root, const wchar_t* subKey, const wchar_t* name);

}  // namespace dl::platform
