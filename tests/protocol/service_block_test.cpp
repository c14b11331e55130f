#include "protocol/service_block.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
namespace sb = dl::protocol::service_block;

std::uint32_t At(const std::array<std::uint8_t, sb::kSize>& b, std::size_t pos) {
  return b[pos] | b[pos + 1] << 8 | b[pos + 2] << 16 | static_cast<std::uint32_t>(b[pos + 3]) << 24;
}

TEST(ServiceBlock, FieldsSitWhereTheLayoutTablePutsThem) {
  const auto bytes = sb::WriteServiceBlock({u"C:\\re", true, 144, 0xDEADBEEFu});
  ASSERT_EQ(bytes.size(), 567u);
  EXPECT_EQ(bytes[0], 'C');
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], ':');
  EXPECT_EQ(bytes[8], 'e');
  EXPECT_EQ(bytes[10], 0);  // terminator
  EXPECT_EQ(At(bytes, 555), 1u);
  EXPECT_EQ(At(bytes, 559), 144u);
  EXPECT_EQ(At(bytes, 563), 0xDEADBEEFu);
}

TEST(ServiceBlock, RoundTripsAndRefusesShortViews) {
  const sb::ServiceBlock block{u"Z:\\tools\\pcre", false, 120, 7};
  const auto bytes = sb::WriteServiceBlock(block);
  EXPECT_EQ(sb::ReadServiceBlock(bytes.data(), bytes.size()), block);
  EXPECT_EQ(sb::ReadServiceBlock(bytes.data(), bytes.size() - 1), std::nullopt);
  EXPECT_EQ(sb::ReadServiceBlock(nullptr, bytes.size()), std::nullopt);
}

TEST(ServiceBlock, LocationWithoutTerminatorStopsAtTheEndOfItsField) {
  std::vector<std::uint8_t> bytes(sb::kSize, 0);
  for (std::size_t i = 0; i < 522; i += 2) bytes[i] = 'a';
  bytes[555] = 1;
  const auto read = sb::ReadServiceBlock(bytes.data(), bytes.size());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->regexFolder, std::u16string(261, u'a'));
  EXPECT_TRUE(read->eventLogEnabled);
}

TEST(ServiceBlock, OverlongFolderIsCutToKeepItsTerminator) {
  const auto bytes = sb::WriteServiceBlock({std::u16string(400, u'b'), false, 96, 0});
  const auto read = sb::ReadServiceBlock(bytes.data(), bytes.size());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->regexFolder.size(), 260u);
  EXPECT_EQ(bytes[520], 0);
}

}  // namespace
