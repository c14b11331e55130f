#pragma once
#include <string>

namespace dl::host {
// The folder of the running executable, with a trailing "\".
std::wstring OwnFolder();
}  // namespace dl::host
