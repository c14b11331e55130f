#pragma once
#include <string>
#include <vector>

namespace dl::devcenter {
// Parses the command line and runs the stand-in main program; returns the exit code.
int RunDevCenter(const std::vector<std::wstring>& args);
}  // namespace dl::devcenter
