#pragma once
// Where the configuration files live; the host only places its log there, and the
// stand-in reads that log.
#include <string>

namespace dl::platform {

// Reads "ConfigFilesLocation" (current user first, then the machine) and
// resolves it; the result ends with "\" or is empty when no usable folder exists.
std::wstring LookUpConfigFolder();

// Resolves one value of "ConfigFilesLocation": "1" none, "2" the shared folder,
// "3" the per-user folder, an existing directory itself, anything else per-user.
std::wstring ResolveConfigFolder(const std::wstring& location);

// "CenterEvents.log" in the configuration folder, or the initialisation error
// log in the temporary folder when there is no configuration folder.
std::wstring EventLogPath(const std::wstring& configFolder);

}  // namespace dl::platform
