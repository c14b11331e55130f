#include <gtest/gtest.h>

#include <shlobj.h>

#include "platform/config_folder.h"
#include "protocol/product_names.h"
#include "tests/host/host_test_support.h"

namespace dl::platform {
namespace {

std::wstring Known(int csidl) {
  wchar_t path[MAX_PATH] = {};
  EXPECT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)));
  return std::wstring(path) + L"\\Quillon\\Deskloom\\";
}

bool IsDirectory(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(EventLogPaths, EmptyConfigFolderUsesTheInitErrorLogInTemp) {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  EXPECT_EQ(EventLogPath(L""), std::wstring(temp, n) + L"Deskloom_init_errors.log");
  EXPECT_EQ(EventLogPath(L"C:\\cfg\\"), L"C:\\cfg\\CenterEvents.log");
}

TEST(ConfigFolder, ValuesChooseTheFolder) {
  host::test::TempFolder custom(L"cfg");
  std::wstring customNoSlash = custom.Path();
  customNoSlash.pop_back();
  const std::wstring perUser = Known(CSIDL_APPDATA);
  EXPECT_EQ(ResolveConfigFolder(L"1"), L"");
  EXPECT_EQ(ResolveConfigFolder(L"3"), perUser);
  EXPECT_TRUE(IsDirectory(perUser));
  EXPECT_EQ(ResolveConfigFolder(customNoSlash), custom.Path());
  EXPECT_EQ(ResolveConfigFolder(custom.Path()), custom.Path());
  EXPECT_EQ(ResolveConfigFolder(custom.Path() + L"missing"), perUser);
  EXPECT_EQ(ResolveConfigFolder(L"7"), perUser);
  EXPECT_EQ(ResolveConfigFolder(L""), perUser);
}

TEST(ConfigFolder, SharedFolderIsCreatedUnderCommonAppData) {
  const std::wstring shared = Known(CSIDL_COMMON_APPDATA);
  EXPECT_EQ(ResolveConfigFolder(L"2"), shared);
  EXPECT_TRUE(IsDirectory(shared));
}

TEST(ConfigFolder, CurrentUserValueWinsOverMachineValue) {
  host::test::TempFolder user(L"cfgu"), machine(L"cfgm");
  host::test::RegistryValueOverride userValue(HKEY_CURRENT_USER, protocol::kProductKey, L"ConfigFilesLocation");
  host::test::RegistryValueOverride machineValue(HKEY_LOCAL_MACHINE, protocol::kProductKey, L"ConfigFilesLocation");
  userValue.SetString(user.Path());
  machineValue.SetString(machine.Path());
  EXPECT_EQ(LookUpConfigFolder(), user.Path());
  userValue.Remove();
  EXPECT_EQ(LookUpConfigFolder(), machine.Path());
  machineValue.Remove();
  EXPECT_EQ(LookUpConfigFolder(), Known(CSIDL_APPDATA));
}

}  // namespace
}  // namespace dl::platform
