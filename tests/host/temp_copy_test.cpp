// Placement "0": the host runs a checked copy of the library from its TEMP folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/file_crc.h"
#include "platform/process_modules.h"
#include "tests/host/host_test_support.h"
#include "tools/devcenter/module_probe.h"

namespace dl::host::test {
namespace {
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class TempCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ExpectNoHostRunning();
    // Copies left mapped by earlier runs in this session would count as foreign.
    ClearForeignCopies(folder_.TempLibraryPath());
  }

  // The path the running host loaded its library from.
  std::wstring LoadedBy(const devcenter::ChildProcess& host) {
    return devcenter::FindLoadedModule(host.Id(), L"dlmemb64.dll").value_or(L"");
  }
  bool SamePath(const std::wstring& a, const std::wstring& b) { return platform::EqualNoCase(a, b); }

  ConfigFolderOverride config_;
  HostFolder folder_;
  MainProgramSide main_;
};

TEST_F(TempCopyTest, NoCopyYetCopiesAndLoadsTheCopyWithNormalAttributes) {
  // A read-only installed file must not give a read-only copy that later blocks deletion.
  ASSERT_TRUE(::SetFileAttributesW(folder_.LibraryPath().c_str(), FILE_ATTRIBUTE_READONLY));
  auto host = main_.StartHostFor(folder_, L"0");
  ASSERT_TRUE(main_.WaitForStartup(host));
  EXPECT_TRUE(SamePath(LoadedBy(host), folder_.TempLibraryPath())) << LoadedBy(host);
  EXPECT_EQ(FileCrc32(folder_.TempLibraryPath()), FileCrc32(folder_.LibraryPath()));
  EXPECT_EQ(::GetFileAttributesW(folder_.TempLibraryPath().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  ASSERT_TRUE(main_.Stop(host));
}

TEST_F(TempCopyTest, EqualCopyIsLoadedWithoutCopyingAgain) {
  ASSERT_TRUE(CopyInto(folder_.LibraryPath(), folder_.TempLibraryPath()));
  // A fresh copy would get normal attributes: this mark shows the file was left alone.
  ASSERT_TRUE(::SetFileAttributesW(folder_.TempLibraryPath().c_str(), FILE_ATTRIBUTE_READONLY));
  auto host = main_.StartHostFor(folder_, L"0");
  ASSERT_TRUE(main_.WaitForStartup(host));
  EXPECT_TRUE(SamePath(LoadedBy(host), folder_.TempLibraryPath())) << LoadedBy(host);
  EXPECT_NE(::GetFileAttributesW(folder_.TempLibraryPath().c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  ASSERT_TRUE(main_.Stop(host));
}

TEST_F(TempCopyTest, DifferingUnlockedCopyIsReplaced) {
  // Read-only as well: a stale copy from an older start must not block forever.
  WriteFileBytes(folder_.TempLibraryPath(), "stale copy of an older version");
  ASSERT_TRUE(::SetFileAttributesW(folder_.TempLibraryPath().c_str(), FILE_ATTRIBUTE_READONLY));
  auto host = main_.StartHostFor(folder_, L"0");
  ASSERT_TRUE(main_.WaitForStartup(host));
  EXPECT_TRUE(SamePath(LoadedBy(host), folder_.TempLibraryPath()));
  EXPECT_EQ(FileCrc32(folder_.TempLibraryPath()), FileCrc32(folder_.LibraryPath()));
  ASSERT_TRUE(main_.Stop(host));
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.NeedRelogin()));
}

TEST_F(TempCopyTest, DifferingLockedCopyNeedsReloginAndLoadsNothing) {
  // Another version of the library, in use by another process, sits in TEMP.
  ASSERT_TRUE(CopyInto(FakeLibraryPath(FakeLibrary::kBasic), folder_.TempLibraryPath()));
  auto holder = devcenter::ChildProcess::Start(devcenter::QuoteArgument(BinFolder() + L"dl_test_library_holder.exe") +
                                               L" " + devcenter::QuoteArgument(folder_.TempLibraryPath()));
  ASSERT_TRUE(devcenter::WaitForLoadedModule(holder.Id(), L"dlmemb64.dll", 15000).has_value());

  auto host = main_.StartHostFor(folder_, L"0");
  ASSERT_TRUE(main_.WaitForEnd(host, 15000));
  EXPECT_EQ(host.ExitCode(), 0u);
  EXPECT_TRUE(devcenter::TakeSignal(main_.events.NeedRelogin()));
  EXPECT_TRUE(devcenter::TakeSignal(main_.events.Shutdown()));
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.Startup()));
  EXPECT_TRUE(main_.window.Calls().empty());
  EXPECT_THAT(folder_.Calls(), IsEmpty());
  EXPECT_TRUE(FileExists(folder_.TempLibraryPath()));
}

TEST_F(TempCopyTest, UnwritableTempFolderFallsBackToTheOwnFolder) {
  auto host = main_.StartHostFor(folder_, L"0",
                                 {{L"TEMP", folder_.Folder() + L"no\\such\\folder"},
                                  {L"TMP", folder_.Folder() + L"no\\such\\folder"}});
  ASSERT_TRUE(main_.WaitForStartup(host));
  EXPECT_TRUE(SamePath(LoadedBy(host), folder_.LibraryPath())) << LoadedBy(host);
  ASSERT_TRUE(main_.Stop(host));
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.NeedRelogin()));
}

class PlacementTextTest : public TempCopyTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(PlacementTextTest, AnythingButZeroLoadsTheOwnFolderAndLeavesTempAlone) {
  auto host = main_.StartHostFor(folder_, GetParam());
  ASSERT_TRUE(main_.WaitForStartup(host));
  EXPECT_TRUE(SamePath(LoadedBy(host), folder_.LibraryPath())) << LoadedBy(host);
  EXPECT_FALSE(FileExists(folder_.TempLibraryPath()));
  ASSERT_TRUE(main_.Stop(host));
}

INSTANTIATE_TEST_SUITE_P(Texts, PlacementTextTest, ::testing::Values(L"1", L"00", L"false", L" 0"));

TEST_F(TempCopyTest, CopyUnderAnotherPathInAnotherProcessIsForeign) {
  // The same file name loaded from elsewhere: the host must not add a second copy.
  HostFolder elsewhere;
  auto holder = devcenter::ChildProcess::Start(devcenter::QuoteArgument(BinFolder() + L"dl_test_library_holder.exe") +
                                               L" " + devcenter::QuoteArgument(elsewhere.LibraryPath()));
  ASSERT_TRUE(devcenter::WaitForLoadedModule(holder.Id(), L"dlmemb64.dll", 15000).has_value());
  auto host = main_.StartHostFor(folder_, L"1");
  ASSERT_TRUE(main_.WaitForEnd(host, 15000));
  EXPECT_TRUE(devcenter::TakeSignal(main_.events.NeedRelogin()));
  EXPECT_TRUE(devcenter::TakeSignal(main_.events.Shutdown()));
  EXPECT_THAT(folder_.Calls(), IsEmpty());
}

TEST_F(TempCopyTest, SameCopyInAnotherProcessIsNotForeign) {
  auto holder = devcenter::ChildProcess::Start(devcenter::QuoteArgument(BinFolder() + L"dl_test_library_holder.exe") +
                                               L" " + devcenter::QuoteArgument(folder_.LibraryPath()));
  ASSERT_TRUE(devcenter::WaitForLoadedModule(holder.Id(), L"dlmemb64.dll", 15000).has_value());
  auto host = main_.StartHostFor(folder_, L"1");
  ASSERT_TRUE(main_.WaitForStartup(host));
  EXPECT_THAT(folder_.Calls(), ElementsAre("attach", "InstallMainHooks"));
  ASSERT_TRUE(main_.Stop(host));
  EXPECT_FALSE(devcenter::TakeSignal(main_.events.NeedRelogin()));
}

}  // namespace
}  // namespace dl::host::test
