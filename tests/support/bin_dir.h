#pragma once
// The folder of the test programs and of every binary they start or load.
#include <string>

namespace dl::test {

// DL_BIN_DIR as ctest sets it (a Unix path is reached through Wine's Z: drive), else the folder
// of this program; without a trailing "\".
std::wstring BinDir();

}  // namespace dl::test
