// The foreign-copy check against a library loaded in another real process.
// The fixture library gets a file name of its own, so nothing else in the
// session can have it loaded.
#include <gtest/gtest.h>

#include <cwctype>

#include "host/foreign_copy.h"
#include "host/library_placement.h"
#include "host/file_crc.h"
#include "library/model/crc32.h"
#include "tests/host/host_test_support.h"
#include "tools/devcenter/child_process.h"
#include "tools/devcenter/module_probe.h"

namespace dl::host {
namespace {
constexpr wchar_t kName[] = L"dl_foreign_probe.dll";

class ForeignCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::CopyInto(test::FakeLibraryPath(test::FakeLibrary::kBasic), loaded_.Path() + kName));
    holder_ = devcenter::ChildProcess::Start(
        devcenter::QuoteArgument(test::BinFolder() + L"dl_test_library_holder.exe") + L" " +
        devcenter::QuoteArgument(loaded_.Path() + kName));
    ASSERT_TRUE(devcenter::WaitForLoadedModule(holder_.Id(), kName, 15000).has_value());
  }
  test::TempFolder loaded_{L"foreign"};
  test::TempFolder other_{L"foreign_other"};
  devcenter::ChildProcess holder_;
};

TEST_F(ForeignCopyTest, SamePathIsNotForeignInAnyCase) {
  EXPECT_FALSE(IsForeignCopyLoaded(loaded_.Path() + kName));
  std::wstring upper = loaded_.Path() + kName;
  for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  EXPECT_FALSE(IsForeignCopyLoaded(upper));
  // Another spelling of the same folder.
  EXPECT_FALSE(IsForeignCopyLoaded(loaded_.Path() + L".\\" + kName));
}

TEST_F(ForeignCopyTest, SameNameUnderAnotherPathIsForeign) {
  EXPECT_TRUE(IsForeignCopyLoaded(other_.Path() + kName));
  EXPECT_FALSE(IsForeignCopyLoaded(other_.Path() + L"dl_nothing_loads_this.dll"));
}

TEST_F(ForeignCopyTest, AnswerChangesWhenTheHolderEnds) {
  holder_.Terminate();
  EXPECT_FALSE(IsForeignCopyLoaded(other_.Path() + kName));
}

TEST(FileCrc, MatchesTheCoreCrcAcrossBlockBoundaries) {
  test::TempFolder folder(L"crc");
  std::string bytes;
  for (int i = 0; i < 4096 * 2 + 17; ++i) bytes += static_cast<char>(i * 31 + 7);
  test::WriteFileBytes(folder.Path() + L"f.bin", bytes);
  EXPECT_EQ(FileCrc32(folder.Path() + L"f.bin"), model::Crc32(bytes));
  test::WriteFileBytes(folder.Path() + L"nine.bin", "123456789");
  EXPECT_EQ(FileCrc32(folder.Path() + L"nine.bin"), 0xCBF43926u);
  EXPECT_EQ(FileCrc32(folder.Path() + L"missing.bin"), 0u);
}

TEST(LibraryPlacement, OwnFolderUnlessExactlyZeroWithATempFolder) {
  test::TempFolder folder(L"place");
  const std::wstring own = folder.Path() + L"own.dll";
  test::WriteFileBytes(own, "library bytes");
  EXPECT_EQ(PlaceLibrary(own, false, folder.Path() + L"t.dll").path, own);
  EXPECT_EQ(PlaceLibrary(own, true, L"").path, own);
  EXPECT_FALSE(test::FileExists(folder.Path() + L"t.dll"));
  Placement p = PlaceLibrary(own, true, folder.Path() + L"t.dll");
  EXPECT_EQ(p.path, folder.Path() + L"t.dll");
  EXPECT_FALSE(p.needRelogin);
  EXPECT_EQ(test::ReadFileBytes(p.path), "library bytes");
}

TEST(LibraryPlacement, TempPathFollowsTheTempVariable) {
  wchar_t saved[MAX_PATH * 2];
  DWORD n = ::GetEnvironmentVariableW(L"TEMP", saved, MAX_PATH * 2);
  ASSERT_GT(n, 0u);
  ::SetEnvironmentVariableW(L"TEMP", L"C:\\some\\place");
  EXPECT_EQ(TempLibraryPath(), L"C:\\some\\place\\dlmemb64.dll");
  // Longer than the classic 260-character buffer: expanded in full, not cut off.
  std::wstring longFolder = L"C:\\" + std::wstring(300, L'x');
  ::SetEnvironmentVariableW(L"TEMP", longFolder.c_str());
  EXPECT_EQ(TempLibraryPath(), longFolder + L"\\dlmemb64.dll");
  ::SetEnvironmentVariableW(L"TEMP", nullptr);
  EXPECT_EQ(TempLibraryPath(), L"");
  ::SetEnvironmentVariableW(L"TEMP", saved);
}

}  // namespace
}  // namespace dl::host
