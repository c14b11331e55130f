// The name under which every library copy of a process finds the process's storage.
#include <gtest/gtest.h>

#include <string>

#include "library/runtime/process_local_storage.h"

namespace {

using namespace dl::entry;

TEST(ProcessLocalStorageName, IsThePrefixAndEightUpperCaseHexDigits) {
  EXPECT_EQ(ProcessLocalStorageName(0x1A2B),
            L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_EALocalStorageV8147_00001A2B");
  const std::wstring name = ProcessLocalStorageName(0xDEADBEEF);
  EXPECT_EQ(name.substr(name.size() - 9), L"_DEADBEEF");
}

}  // namespace
