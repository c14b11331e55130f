#pragma once
// The folder of the test programs and of every binary they start or load, and the Unix paths
// they are given, as Wine programs see them.
#include <string>

namespace dl::test {

// DL_BIN_DIR as ctest sets it (a Unix path is reached through Wine's Z: drive), else the folder
// of this program; without a trailing "\".
std::wstring BinDir();

// A Unix path as Wine's programs reach it, through the Z: drive ("/a/b" -> "Z:\\a\\b").
std::wstring WinePath(const char* unixPath);

}  // namespace dl::test
