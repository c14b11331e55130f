#include "library/model/interfaces.h"

#include <gtest/gtest.h>

#include "library/model/items.h"

namespace {
using namespace dl::model;

TEST(Interfaces, GuidTextParsesIntoItsFields) {
  constexpr Guid g = MakeGuid("{A97A0D5A-4204-4FED-96F5-0ACEEF4BF213}");
  static_assert(g.data1 == 0xA97A0D5Au && g.data2 == 0x4204 && g.data3 == 0x4FED);
  static_assert(g.data4[0] == 0x96 && g.data4[1] == 0xF5 && g.data4[7] == 0x13);
  static_assert(IItem::kIid == g);
  static_assert(!(ICollection::kIid == ISlave::kIid));
}

TEST(Interfaces, QueryInterfaceAnswersImplementedInterfacesOnly) {
  auto item = TAbstractObject::Create<TAbstractItem>(L"\\name=N");
  EXPECT_EQ(item->RefCount(), 1u);
  {
    RefPtr<IItem> as_item = item.As<IItem>();
    ASSERT_TRUE(as_item);
    EXPECT_EQ(item->RefCount(), 2u);
    RefPtr<IInterface> base = as_item.As<IInterface>();
    EXPECT_TRUE(base);
    EXPECT_EQ(item->RefCount(), 3u);
    EXPECT_FALSE(as_item.As<ICollection>());
    EXPECT_FALSE(as_item.As<ISlave>());  // declared, not implemented by the base item
  }
  EXPECT_EQ(item->RefCount(), 1u);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_FALSE(item->QueryInterface(ICollection::kIid, &out));
  EXPECT_EQ(out, nullptr);
  EXPECT_FALSE(item->QueryInterface(IItem::kIid, nullptr));
}

TEST(Interfaces, RefPtrCopiesMovesAndReleases) {
  RefPtr<TAbstractItem> a(new TAbstractItem);
  RefPtr<TAbstractItem> b = a;
  EXPECT_EQ(a->RefCount(), 2u);
  RefPtr<TAbstractItem> c = std::move(b);
  EXPECT_FALSE(b);
  EXPECT_EQ(a->RefCount(), 2u);
  RefPtr<TAbstractItem>& alias = c;
  c = alias;  // assigning the object it already holds keeps it
  EXPECT_EQ(a->RefCount(), 2u);
  RefPtr<IItem> widened = a;
  EXPECT_EQ(a->RefCount(), 3u);
  TAbstractItem* raw = a.Detach();
  EXPECT_EQ(raw->RefCount(), 3u);
  auto adopted = RefPtr<TAbstractItem>::Adopt(raw);
  EXPECT_EQ(adopted->RefCount(), 3u);
}

}  // namespace
