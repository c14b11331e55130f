#include "library/rules/mapping_wrapper.h"

#include <gtest/gtest.h>

#include "protocol/rule_block_layout.h"
#include "protocol/rule_block_writer.h"
#include "protocol/service_block.h"
#include "tests/rules/shared_block.h"

namespace {
namespace rb = dl::protocol::rule_block;
using dl::rules::TMappingWrapper;

std::vector<std::uint8_t> SmallBlock() {
  rb::GroupSpec g;
  g.skin = "Skin";
  return rb::WriteRuleBlock({g});
}

TEST(MappingWrapper, RuleBlockByIdIsSizedByItsOwnField) {
  const auto bytes = SmallBlock();
  dl::test::SharedBlock block(rb::MappingName(0x7001), bytes, 8192);
  ASSERT_TRUE(block.Created());
  TMappingWrapper w(0x7001u);
  ASSERT_TRUE(w.Valid());
  EXPECT_EQ(w.Id(), 0x7001u);
  EXPECT_EQ(w.ViewSize(), bytes.size());
  EXPECT_EQ(static_cast<const std::uint8_t*>(w.GetPointer()), static_cast<const std::uint8_t*>(w.ViewBase()) + 4);
  EXPECT_EQ(std::memcmp(w.ViewBase(), bytes.data(), bytes.size()), 0);
}

TEST(MappingWrapper, RuleBlockThatIsNotThereOrLiesIsNotValid) {
  struct Case {
    const char* what;
    std::uint32_t sizeField;
    std::size_t mappingSize;
  };
  const Case cases[] = {
      {"size field 0", 0, 4096},
      {"size field larger than the mapping", 1u << 20, 4096},
      {"size field near 4 GiB", 0xFFFFFFF0u, 4096},
  };
  std::uint32_t id = 0x7100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> bytes(8, 0);
    std::memcpy(bytes.data(), &c.sizeField, 4);
    dl::test::SharedBlock block(rb::MappingName(++id), bytes, c.mappingSize);
    ASSERT_TRUE(block.Created());
    TMappingWrapper w(id);
    EXPECT_FALSE(w.Valid());
    EXPECT_EQ(w.ViewSize(), 0u);
    EXPECT_EQ(w.GetPointer(), nullptr);
  }
  TMappingWrapper missing(0x7FFFu);
  EXPECT_FALSE(missing.Valid());
}

TEST(MappingWrapper, ServiceBlockByNameAndSize) {
  const dl::protocol::service_block::ServiceBlock contents{u"C:\\re", true, 120, 0x42};
  const auto bytes = dl::protocol::service_block::WriteServiceBlock(contents);
  const std::wstring name = L"Local\\dl_test_service_block_" + std::to_wstring(::GetCurrentProcessId());
  dl::test::SharedBlock block(name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  TMappingWrapper w(name.c_str(), bytes.size());
  ASSERT_TRUE(w.Valid());
  EXPECT_EQ(w.Id(), 0u);
  EXPECT_EQ(w.GetPointer(), w.ViewBase());  // no size field to skip
  EXPECT_EQ(dl::protocol::service_block::ReadServiceBlock(w.ViewBase(), w.ViewSize()), contents);
  EXPECT_FALSE(TMappingWrapper(L"Local\\dl_test_no_such_block", 567).Valid());
}

}  // namespace
