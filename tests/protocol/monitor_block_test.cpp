#include "protocol/monitor_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "tests/protocol/hand_built_block.h"

namespace {
namespace mb = dl::protocol::monitor_block;
using dl::testing::HandBytes;

// Two records laid out by hand with literal offsets: 0 count, 4 first record, 92 second.
// First: "\\.\DISPLAY1", (0,0,3840,2160), attached. Second: "\\.\DISPLAY2", (-1920,0,0,1080),
// attached, mirrors another device. 180 bytes in all.
std::vector<std::uint8_t> HandBuiltMonitorBlock() {
  HandBytes b(180);
  b.U32(0, 2);
  const char16_t* names[2] = {u"\\\\.\\DISPLAY1", u"\\\\.\\DISPLAY2"};
  for (int r = 0; r < 2; ++r) {
    const std::size_t at = 4 + 88 * r;
    for (std::size_t i = 0; names[r][i]; ++i) {
      b.Bytes()[at + 2 * i] = static_cast<std::uint8_t>(names[r][i]);
      b.Bytes()[at + 2 * i + 1] = 0;
    }
  }
  b.U32(4 + 64, 0).U32(4 + 68, 0).U32(4 + 72, 3840).U32(4 + 76, 2160).U32(4 + 80, 1).U32(4 + 84, 0);
  b.U32(92 + 64, static_cast<std::uint32_t>(-1920)).U32(92 + 68, 0).U32(92 + 72, 0).U32(92 + 76, 1080);
  b.U32(92 + 80, 1).U32(92 + 84, 1);
  return b.Bytes();
}

// The reader sees exactly `size` bytes, on the heap, so that the sanitizers catch any read past them.
std::optional<std::vector<mb::DisplayDevice>> ReadExactly(const std::vector<std::uint8_t>& bytes, std::size_t size) {
  std::unique_ptr<std::uint8_t[]> view(new std::uint8_t[size ? size : 1]);
  std::memcpy(view.get(), bytes.data(), size);
  return mb::ReadMonitorBlock(view.get(), size);
}

TEST(MonitorBlock, HandBuiltRecordsReadAsTheTableDescribesThem) {
  const auto devices = ReadExactly(HandBuiltMonitorBlock(), 180);
  ASSERT_TRUE(devices);
  ASSERT_EQ(devices->size(), 2u);
  EXPECT_EQ((*devices)[0], (mb::DisplayDevice{u"\\\\.\\DISPLAY1", {0, 0, 3840, 2160}, true, false}));
  EXPECT_EQ((*devices)[1], (mb::DisplayDevice{u"\\\\.\\DISPLAY2", {-1920, 0, 0, 1080}, true, true}));
}

TEST(MonitorBlock, WriterProducesTheHandBuiltBytes) {
  const std::vector<mb::DisplayDevice> devices = {{u"\\\\.\\DISPLAY1", {0, 0, 3840, 2160}, true, false},
                                                  {u"\\\\.\\DISPLAY2", {-1920, 0, 0, 1080}, true, true}};
  EXPECT_EQ(mb::WriteMonitorBlock(devices), HandBuiltMonitorBlock());
}

TEST(MonitorBlock, CountsThatTheViewCannotHoldMeanNoBlock) {
  const auto bytes = HandBuiltMonitorBlock();
  struct Case {
    const char* what;
    std::uint32_t count;
    std::size_t viewSize;
    bool present;
  };
  const Case cases[] = {
      {"honest", 2, 180, true},
      {"view one byte short of the last record", 2, 179, false},
      {"one record more than the view holds", 3, 180, false},
      {"count that wraps 88 * N around 32 bits", 0x02E8BA2Fu, 180, false},
      {"largest count", 0xFFFFFFFFu, 180, false},
      {"fewer records than the view holds", 1, 180, true},
      {"zero records", 0, 180, true},
      {"count field cut short", 2, 3, false},
      {"empty view", 2, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto patched = bytes;
    HandBytes count(4);
    count.U32(0, c.count);
    std::copy(count.Bytes().begin(), count.Bytes().end(), patched.begin());
    const auto devices = ReadExactly(patched, c.viewSize);
    ASSERT_EQ(devices.has_value(), c.present);
    if (c.present) {
      EXPECT_EQ(devices->size(), c.count);
    }
  }
  EXPECT_EQ(mb::ReadMonitorBlock(nullptr, 180), std::nullopt);
}

TEST(MonitorBlock, NameWithoutTerminatorEndsWithItsField) {
  auto bytes = HandBuiltMonitorBlock();
  for (std::size_t i = 0; i < 64; i += 2) bytes[4 + i] = 'x', bytes[5 + i] = 0;
  const auto devices = ReadExactly(bytes, 180);
  ASSERT_TRUE(devices);
  EXPECT_EQ((*devices)[0].deviceName, std::u16string(32, u'x'));
  EXPECT_EQ((*devices)[0].realRect.right, 3840);  // the rectangle after the name is intact
}

TEST(MonitorBlock, OverlongNameIsCutToKeepItsTerminatorAndBooleansAreAnyNonzero) {
  auto bytes = mb::WriteMonitorBlock({{std::u16string(40, u'n'), {1, 2, 3, 4}, false, false}});
  ASSERT_EQ(bytes.size(), 92u);
  EXPECT_EQ(bytes[4 + 62], 0);
  EXPECT_EQ(bytes[4 + 63], 0);
  bytes[4 + 80] = 0x00, bytes[4 + 83] = 0x80;  // attached as 0x80000000
  const auto devices = ReadExactly(bytes, bytes.size());
  ASSERT_TRUE(devices);
  EXPECT_EQ((*devices)[0].deviceName.size(), 31u);
  EXPECT_TRUE((*devices)[0].attached);
  EXPECT_FALSE((*devices)[0].cloneSlave);
}

}  // namespace
