// The registered message names and their fallbacks, as every process must see them.
#include "protocol/message_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {
using namespace dl::protocol;

const RegisteredMessageName kAll[] = {kServiceMessage, kHandshakeMessage, kWinEventMessage,
                                      kInternalMessage, kTrayMessage,     kTaskbarCreatedMessage,
                                      kConsolePatchMessage};

TEST(MessageNames, NamesAreDistinctAndNotEmpty) {
  std::set<std::wstring> names;
  for (const RegisteredMessageName& m : kAll) {
    const std::wstring name = m.name;
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(names.insert(name).second) << std::string(name.begin(), name.end());
  }
}

// A fallback stands in for a registered number when registration fails. Registered numbers
// lie in 0xC000-0xFFFF and the system's own below WM_APP, so a fallback must lie in the
// application range (WM_APP to 0xBFFF), and no two may share a number.
TEST(MessageNames, FallbacksLieInTheApplicationRangeAndDiffer) {
  std::set<unsigned> fallbacks;
  for (const RegisteredMessageName& m : kAll) {
    if (m.fallback == 0) continue;
    SCOPED_TRACE(m.fallback);
    EXPECT_GE(m.fallback, 0x8000u);
    EXPECT_LT(m.fallback, 0xC000u);
    EXPECT_TRUE(fallbacks.insert(m.fallback).second);
  }
  EXPECT_EQ(fallbacks.size(), 3u) << "service, window-event and internal messages have fallbacks";
}

}  // namespace
