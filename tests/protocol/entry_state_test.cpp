// The state answer travels in one lParam between processes: whatever is packed on one side
// must come out unchanged on the other, with neither half spilling into the other.
#include "protocol/entry_state.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {
using namespace dl::protocol;

TEST(EntryStateReply, PackedBitsAndProcessComeBackUnchanged) {
  struct Case {
    unsigned bits;
    std::uint32_t processId;
  };
  const Case cases[] = {
      {0, 0},
      {kEntryApplicationStarted | kEntryApplicationPresent, 0x1A2B},
      {kEntryInertProcess | kEntryReducedHookProcess | kEntryShellViewCompat, 4},
      // Highest bits of both halves: a sign or a shift that loses them shows here.
      {0xFFFFFFFFu, 0xFFFFFFFFu},
      {0x80000000u, 1},
      {1, 0x80000000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.bits << " " << c.processId);
    const std::intptr_t reply = PackEntryStateReply(c.bits, c.processId);
    EXPECT_EQ(EntryStateReplyBits(reply), c.bits);
    EXPECT_EQ(EntryStateReplyProcess(reply), c.processId);
  }
}

TEST(EntryStateReply, StateBitsAreDistinctSingleBits) {
  const unsigned bits[] = {kEntryApplicationStarted, kEntryApplicationPresent, kEntryInertProcess,
                           kEntryReducedHookProcess, kEntryShellViewCompat};
  unsigned seen = 0;
  for (unsigned bit : bits) {
    EXPECT_EQ(bit & (bit - 1), 0u) << bit;
    EXPECT_EQ(seen & bit, 0u) << bit;
    seen |= bit;
  }
}

}  // namespace
