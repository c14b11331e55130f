#include <gtest/gtest.h>

#include "host/arguments.h"

namespace dl::host {
namespace {

struct NumberCase {
  const wchar_t* text;
  std::int32_t value;
};

class ParseDecimalTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseDecimalTest, ReadsDecimalTextOrZero) { EXPECT_EQ(ParseDecimal32(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseDecimalTest,
    ::testing::Values(NumberCase{L"123", 123}, NumberCase{L"+7", 7}, NumberCase{L"-1", -1},
                      NumberCase{L"-2147483648", INT32_MIN}, NumberCase{L"4294967295", -1},
                      NumberCase{L"2147483648", INT32_MIN}, NumberCase{L"4294967296", 0},
                      NumberCase{L"99999999999999999999", 0}, NumberCase{L"", 0}, NumberCase{L"-", 0},
                      NumberCase{L"abc", 0}, NumberCase{L"12a", 0}, NumberCase{L" 5", 0}, NumberCase{L"0x10", 0},
                      NumberCase{L"1.5", 0}));

TEST(HostArguments, WindowIsWidenedWithSign) {
  HostArguments a = ParseHostArguments(L"42", L"-2", L"1");
  EXPECT_EQ(a.mainProcessId, 42u);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(a.mainWindow), -2);
  // The unsigned rendering of the same 32 bits names the same window.
  EXPECT_EQ(ParseHostArguments(L"1", L"4294967294", L"1").mainWindow, a.mainWindow);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(ParseHostArguments(L"1", L"65608", L"1").mainWindow), 65608);
}

TEST(HostArguments, OnlyExactlyZeroMeansTemporaryCopy) {
  EXPECT_TRUE(ParseHostArguments(L"1", L"1", L"0").useTempCopy);
  for (const wchar_t* other : {L"1", L"00", L"false", L"", L" 0", L"0 "})
    EXPECT_FALSE(ParseHostArguments(L"1", L"1", other).useTempCopy) << other;
}

TEST(HostArguments, CommandLineSplitsLikeWindows) {
  auto args = CommandLineArguments(LR"("C:\a b\DeskloomCenter64.exe" 12 "34" 0)");
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0], L"12");
  EXPECT_EQ(args[1], L"34");
  EXPECT_EQ(args[2], L"0");
  EXPECT_TRUE(CommandLineArguments(L"DeskloomCenter64.exe").empty());
}

}  // namespace
}  // namespace dl::host
