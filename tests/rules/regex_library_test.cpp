#include "library/rules/regex_library.h"

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "library/model/event_log.h"
#include "library/model/text_util.h"
#include "tests/support/bin_dir.h"

namespace {
using namespace dl::rules;

bool PcreModuleLoaded() { return ::GetModuleHandleW(L"pcre64.dll") != nullptr; }

class RecordingSink : public dl::model::TInterfacedObject, public virtual dl::model::IEventLogSink {
 public:
  std::vector<std::wstring> lines;
  void SendCommand(std::wstring_view, std::uint32_t, std::wstring_view data) override { lines.emplace_back(data); }

 protected:
  void* FindInterface(const dl::model::Guid& iid) noexcept override {
    if (iid == IEventLogSink::kIid) return static_cast<IEventLogSink*>(this);
    return TInterfacedObject::FindInterface(iid);
  }
};

class RegexLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadRegexLibrary();
    SetRegexLibraryFolder(L"");
  }
  void TearDown() override {
    UnloadRegexLibrary();
    SetRegexLibraryFolder(L"");
    dl::model::SetEventLogSink(nullptr);
    dl::model::SetEventLogEnabled(false);
  }
};

TEST_F(RegexLibrary, WithoutAFolderEveryTestIsFalseAndNothingIsLoaded) {
  EXPECT_FALSE(IsRegexLibraryConfigured());
  EXPECT_FALSE(MatchesPattern("ab+c", "xxabbbcx"));
  EXPECT_FALSE(IsRegexLibraryLoaded());
  EXPECT_FALSE(PcreModuleLoaded());
}

TEST_F(RegexLibrary, StandardPatternsThroughTheLoadedModule) {
  SetRegexLibraryFolder(dl::test::BinDir());  // without a trailing delimiter
  EXPECT_TRUE(IsRegexLibraryConfigured());
  EXPECT_TRUE(MatchesPattern("ab+c", "xxabbbcx"));
  EXPECT_TRUE(PcreModuleLoaded());
  EXPECT_FALSE(MatchesPattern("^abc$", "abcd"));
  EXPECT_TRUE(MatchesPattern("^abc$", "abc"));
  EXPECT_FALSE(MatchesPattern("(", "("));
  EXPECT_TRUE(MatchesPattern("(a)(b)(c)(d)(e)(f)(g)", "abcdefg"));
  EXPECT_TRUE(MatchesPattern("^Untitled - (Notepad|Editor)$", "Untitled - Editor"));
}

TEST_F(RegexLibrary, FolderWithATrailingDelimiterWorksAsWell) {
  SetRegexLibraryFolder(dl::test::BinDir() + L"\\");
  EXPECT_TRUE(MatchesPattern("b", "abc"));
}

TEST_F(RegexLibrary, AfterUnloadTestsAreFalseUntilConfiguredAgain) {
  SetRegexLibraryFolder(dl::test::BinDir());
  ASSERT_TRUE(MatchesPattern("ab+c", "abc"));
  UnloadRegexLibrary();
  EXPECT_FALSE(IsRegexLibraryConfigured());
  EXPECT_FALSE(PcreModuleLoaded());
  EXPECT_FALSE(MatchesPattern("ab+c", "abc"));
  EXPECT_FALSE(PcreModuleLoaded());
  SetRegexLibraryFolder(dl::test::BinDir());
  EXPECT_TRUE(MatchesPattern("ab+c", "abc"));
  EXPECT_TRUE(PcreModuleLoaded());
}

TEST_F(RegexLibrary, FailedLoadIsTriedAgainAtTheNextCall) {
  SetRegexLibraryFolder(L"C:\\no\\such\\folder");
  EXPECT_FALSE(IsRegexLibraryLoaded());
  EXPECT_FALSE(MatchesPattern("a", "a"));
  SetRegexLibraryFolder(dl::test::BinDir());
  EXPECT_TRUE(IsRegexLibraryLoaded());
  EXPECT_TRUE(MatchesPattern("a", "a"));
}

TEST_F(RegexLibrary, FailingPatternIsLoggedOnceNotOncePerWindow) {
  dl::model::RefPtr<RecordingSink> sink(new RecordingSink);
  dl::model::SetEventLogSink(sink.Get());
  dl::model::SetEventLogEnabled(true);
  SetRegexLibraryFolder(dl::test::BinDir());
  for (int window = 0; window < 5; ++window) {
    EXPECT_FALSE(MatchesPattern("(", "any caption"));
    EXPECT_FALSE(MatchesPattern("^(\\w+\\s?)*$", std::string(40, 'a') + "!"));  // runs into the match limit
  }
  ASSERT_EQ(sink->lines.size(), 2u);
  EXPECT_NE(sink->lines[0].find(L"Invalid Pattern '(': error at position 1: missing )"), std::wstring::npos)
      << dl::model::WideToUtf8(sink->lines[0]);
  EXPECT_NE(sink->lines[1].find(L"Unknown PCRE error code"), std::wstring::npos);
}

// Standard PCRE has no "pcre_free_ex"; its "pcre_free" is a variable holding the
// release function. Thousands of tests must not leave what PCRE allocated behind.
TEST_F(RegexLibrary, NothingIsLeakedPerMatch) {
  SetRegexLibraryFolder(dl::test::BinDir());
  ASSERT_TRUE(MatchesPattern("warm (up)+", "warm upup"));
  HMODULE pcre = ::GetModuleHandleW(L"pcre64.dll");
  ASSERT_NE(pcre, nullptr);
  EXPECT_EQ(::GetProcAddress(pcre, "pcre_free_ex"), nullptr);
  ASSERT_NE(::GetProcAddress(pcre, "pcre_free"), nullptr);

  const auto privateBytes = [] {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters);
    return counters.PrivateUsage;
  };
  // A studied pattern (no known first character) with captures: both blocks are released.
  const std::string pattern = "(\\w+) - (Notepad|Editor|Viewer)[0-9]*$";
  for (int i = 0; i < 2000; ++i) (void)MatchesPattern(pattern, "Untitled - Notepad");
  const auto before = privateBytes();
  for (int i = 0; i < 40000; ++i) (void)MatchesPattern(pattern, "Untitled - Notepad");
  const auto after = privateBytes();
  // A leak of even one small block per test would be several megabytes here.
  EXPECT_LT(after > before ? after - before : 0, 1024u * 1024u) << before << " -> " << after;
}

TEST_F(RegexLibrary, LockIsReentrantForItsOwner) {
  SetRegexLibraryFolder(dl::test::BinDir());
  LockRegexLibrary();
  EXPECT_TRUE(MatchesPattern("a", "a"));
  UnlockRegexLibrary();
}

}  // namespace
