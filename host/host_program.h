#pragma once
#include <string>
#include <vector>

namespace dl::host {
// Runs the host for the arguments after the program name; returns the exit code (always 0).
int RunHost(const std::vector<std::wstring>& args) noexcept;

// Starts "DeskloomCenter.exe" from `folder`, hidden, with `folder` as working folder.
bool LaunchMainProgram(const std::wstring& folder) noexcept;
}  // namespace dl::host
