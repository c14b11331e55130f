// Class names that other processes look for: both forms of each name must be the same text,
// within the length that the system keeps, and no two may collide (the atom test ignores case).
#include "protocol/window_class_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>

namespace {
using namespace dl::protocol;

struct Name {
  const char* narrow;
  const wchar_t* wide;
  std::size_t size;
};
template <std::size_t N>
constexpr Name Of(const AsciiName<N>& n) {
  return {n.narrow, n.wide, n.size()};
}

const Name kAll[] = {
    Of(kFloatingWindowClass),           Of(kToggleWindowClass),
    Of(kUtilityWindowClass),            Of(kUtilityWindowClassW),
    Of(kMessengerClientWindowClass),    Of(kConfigBuilderMessengerClientWindowClass),
    Of(kLocalUnhookWindowClass),        Of(kMessengerServerWindowClass),
    Of(kMessengerShellServerWindowClass), Of(kControlCenterHandlerWindowClass),
    Of(kShellControlCenterHandlerWindowClass), Of(kTabbedContainerWindowClass),
    Of(kVirtualDesktopTaskbarClass),    Of(kMultiMonitorTaskbarClass),
    Of(kConsoleObserverWindowClass),
};

TEST(WindowClassNames, BothFormsAreTheSameText) {
  for (const Name& n : kAll) {
    SCOPED_TRACE(n.narrow);
    ASSERT_EQ(std::strlen(n.narrow), n.size);
    for (std::size_t i = 0; i <= n.size; ++i) EXPECT_EQ(static_cast<wchar_t>(n.narrow[i]), n.wide[i]) << i;
  }
}

TEST(WindowClassNames, FitTheSystemLimitAndDifferWithoutRegardToCase) {
  std::set<std::string> folded;
  for (const Name& n : kAll) {
    SCOPED_TRACE(n.narrow);
    EXPECT_GT(n.size, 0u);
    EXPECT_LT(n.size, 256u);  // class names are kept in 256 characters with the terminator
    std::string lower(n.narrow);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_TRUE(folded.insert(lower).second);
  }
}

TEST(AsciiName, KeepsEveryCharacterOfTheText) {
  constexpr AsciiName name{"a_Z 9~"};
  static_assert(name.size() == 6);
  EXPECT_STREQ(name.narrow, "a_Z 9~");
  EXPECT_STREQ(name.wide, L"a_Z 9~");
}

}  // namespace
