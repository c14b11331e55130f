// The process's one reading of its identity, and module presence from the loader's list.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/process_identity.h"

namespace dl::platform {
namespace {

TEST(ProcessIdentity, ThisProcessByItsLowerCaseNameAndTheKernelsVersion) {
  const ProcessIdentity& id = CurrentProcessIdentity();
  EXPECT_EQ(id.lowerName, L"platform_tests.exe");
  EXPECT_EQ(id.name.size(), id.lowerName.size());
  EXPECT_EQ(id.lowerPath.substr(id.lowerPath.size() - id.lowerName.size()), id.lowerName);
  EXPECT_GE(id.os.major, 6u);
  EXPECT_EQ(&CurrentProcessIdentity(), &id);  // read once
}

TEST(ProcessIdentity, NamesLowerByTheSystemsRulesAlsoOutsideAscii) {
  EXPECT_EQ(LowerCaseName(L"NOTEPAD.EXE"), L"notepad.exe");
  EXPECT_EQ(LowerCaseName(L"\u00c4RGER\u00dcBER.EXE"), L"\u00e4rger\u00fcber.exe");
  EXPECT_EQ(LowerCaseName(L"\u0421\u041b\u0410\u0412\u0410.exe"), L"\u0441\u043b\u0430\u0432\u0430.exe");
  EXPECT_EQ(LowerCaseName(L""), L"");
}

TEST(ModulePresence, FollowsLoadingAndUnloadingWithoutRegardToCase) {
  EXPECT_TRUE(IsModuleLoaded(L"KERNEL32.DLL"));
  EXPECT_TRUE(IsModuleLoaded(L"ntdll.dll"));
  EXPECT_FALSE(IsModuleLoaded(L"no_such_module_here.dll"));
  EXPECT_FALSE(IsModuleLoaded(L""));
  EXPECT_FALSE(IsModuleLoaded(L"kernel32"));  // a whole file name, not a prefix
  // A system library that a plain test program does not load by itself.
  const wchar_t* name = L"msimg32.dll";
  const bool before = ::GetModuleHandleW(name) != nullptr;
  EXPECT_EQ(IsModuleLoaded(L"MSIMG32.dll"), before);
  HMODULE loaded = ::LoadLibraryW(name);
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(IsModuleLoaded(L"MSIMG32.dll"));
  ::FreeLibrary(loaded);
  EXPECT_EQ(IsModuleLoaded(name), ::GetModuleHandleW(name) != nullptr);
}

}  // namespace
}  // namespace dl::platform
