#include "library/model/collections.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/model/agent_params.h"
#include "library/model/items.h"

namespace {
using namespace dl::model;

// A reference-counted probe that reports its own death.
class Probe : public TInterfacedObject {
 public:
  explicit Probe(int& live) : live_(live) { ++live_; }
  ~Probe() override { --live_; }

 private:
  int& live_;
};

// A collection of named items, keyed by the item's name as the rule parts'
// collections are.
class TNamedItems : public TAbstractCollection {
 public:
  IItem* Add(IItem* item) {
    return TInterfaceCollection::Add(item, false, item->GetName()) ? item : nullptr;
  }
};

TEST(Collections, NamelessItemsShareTheEmptyKeySoOnlyTheFirstIsAdded) {
  RefPtr<TNamedItems> agents(new TNamedItems);
  auto a = TAbstractObject::Create<TAbstractItem>(L"");
  auto b = TAbstractObject::Create<TAbstractItem>(L"");
  EXPECT_NE(agents->Add(a.Get()), nullptr);
  EXPECT_EQ(agents->Add(b.Get()), nullptr);
  EXPECT_EQ(agents->GetCount(), 1);
  EXPECT_EQ(agents->Content().GetHashByIndex(0), 0u);
  EXPECT_EQ(b->RefCount(), 1u);  // no reference kept for the refused one
}

TEST(Collections, KeysIgnoreCase) {
  RefPtr<TNamedItems> actions(new TNamedItems);
  auto move = TAbstractObject::Create<TAbstractItem>(L"\\name=Move");
  auto upper = TAbstractObject::Create<TAbstractItem>(L"\\name=MOVE");
  EXPECT_NE(actions->Add(move.Get()), nullptr);
  EXPECT_EQ(actions->Add(upper.Get()), nullptr);
  EXPECT_TRUE(actions->KeyExist(L"move"));
  EXPECT_EQ(actions->IndexByKey(L"mOvE"), 0);
  EXPECT_EQ(actions->GetItemsK(L"MOVE").Get(), static_cast<IInterface*>(move.Get()));
}

TEST(Collections, GeneratedKeysRunFromBangToZThenAppend) {
  RefPtr<TPointerCollection> list(new TPointerCollection);
  std::vector<std::wstring> keys;
  int dummy[70];
  for (int i = 0; i < 60; ++i) {
    ASSERT_NE(list->Add(&dummy[i], true), nullptr) << i;
    keys.push_back(list->LastKey());
  }
  EXPECT_EQ(keys[0], L"!");
  EXPECT_EQ(keys[1], L"\"");
  EXPECT_EQ(keys[2], L"#");
  EXPECT_EQ(keys[57], L"Z");  // '!' + 57
  EXPECT_EQ(keys[58], L"Z!");
  EXPECT_EQ(keys[59], L"Z\"");
  EXPECT_EQ(list->GetCount(), 60);
  EXPECT_EQ(list->GetItems(Variant(L"Z!")), &dummy[58]);

  // An explicit key greater than the last one moves the generator on; Clear
  // does not reset it.
  list->Add(&dummy[60], false, L"zz");
  EXPECT_EQ(list->LastKey(), L"zz");
  list->Add(&dummy[61], false, L"A");
  EXPECT_EQ(list->LastKey(), L"zz");
  list->Clear();
  list->Add(&dummy[62], true);
  EXPECT_EQ(list->LastKey(), L"z{");
}

TEST(Collections, IndexVariants) {
  RefPtr<TPointerCollection> list(new TPointerCollection);
  int a = 0, b = 0;
  list->Add(&a, false, L"a");
  list->Add(&b, false, L"b");
  struct Case {
    Variant index;
    void* expected;
  };
  const Case cases[] = {
      {Variant(0), &a},      {Variant(1), &b},         {Variant(2), nullptr},
      {Variant(-1), nullptr}, {Variant(L"B"), &b},      {Variant(L"c"), nullptr},
      {Variant(1.0), nullptr}, {Variant(true), nullptr}, {Variant(), nullptr},
      {Variant(std::int64_t(1) << 40), nullptr},
  };
  for (const auto& c : cases) EXPECT_EQ(list->GetItems(c.index), c.expected) << c.index.AsString();

  list->Delete(Variant(0.0));
  list->Delete(Variant(L"nothing"));
  list->Delete(Variant(7));
  EXPECT_EQ(list->GetCount(), 2);
  list->Delete(Variant(L"A"));
  EXPECT_EQ(list->GetCount(), 1);
  list->Delete(Variant(0));
  EXPECT_EQ(list->GetCount(), 0);
}

TEST(Collections, AddAtPositionAndRefusals) {
  RefPtr<TPointerCollection> list(new TPointerCollection);
  int v[4];
  EXPECT_NE(list->Add(&v[0], false, L"a"), nullptr);
  EXPECT_NE(list->Add(&v[1], false, L"b", 0), nullptr);
  EXPECT_EQ(list->Add(&v[2], false, L"c", 5), nullptr);   // invalid position swallowed
  EXPECT_EQ(list->Add(&v[2], false, L"c", -2), nullptr);
  EXPECT_EQ(list->AddByHash(&v[3], list->Content().HashOf(L"a")), nullptr);  // duplicate hash
  EXPECT_NE(list->AddByHash(&v[3], 42, 1), nullptr);
  EXPECT_EQ(list->GetItemsI(0), &v[1]);
  EXPECT_EQ(list->GetItemsI(1), &v[3]);
  EXPECT_EQ(list->GetItemsI(2), &v[0]);
  EXPECT_TRUE(list->HashExist(42));
  EXPECT_EQ(list->GetItemIndex(&v[0]), 2);
  EXPECT_EQ(list->GetItemIndex(&v[2]), -1);
}

TEST(Collections, MoveByPositionOrKey) {
  struct Case {
    const wchar_t* key;
    Variant to;
    bool moved;
    std::vector<int> order;
  };
  const Case cases[] = {
      {L"a", Variant(2), true, {1, 2, 0}},
      {L"C", Variant(0), true, {2, 0, 1}},
      {L"a", Variant(L"c"), true, {1, 2, 0}},
      {L"b", Variant(L"B"), true, {0, 1, 2}},
      {L"x", Variant(0), false, {0, 1, 2}},
      {L"a", Variant(L"x"), false, {0, 1, 2}},
      {L"a", Variant(3), false, {0, 1, 2}},
      {L"a", Variant(-1), false, {0, 1, 2}},
      {L"a", Variant(1.0), false, {0, 1, 2}},
  };
  int v[3];
  for (const auto& c : cases) {
    RefPtr<TPointerCollection> list(new TPointerCollection);
    list->Add(&v[0], false, L"a");
    list->Add(&v[1], false, L"b");
    list->Add(&v[2], false, L"c");
    EXPECT_EQ(list->Move(c.key, c.to), c.moved) << c.key << " -> " << c.to.AsString();
    std::vector<int> order;
    for (int i = 0; i < list->GetCount(); ++i) order.push_back(static_cast<int>(static_cast<int*>(list->GetItemsI(i)) - v));
    EXPECT_EQ(order, c.order) << c.key << " -> " << c.to.AsString();
  }
}

TEST(Collections, InterfaceCollectionHoldsOneReferencePerEntry) {
  int live = 0;
  {
    RefPtr<TInterfaceCollection> list(new TInterfaceCollection);
    RefPtr<Probe> kept(new Probe(live));
    EXPECT_EQ(list->Add(kept.Get(), false, L"kept"), kept.Get());
    EXPECT_EQ(kept->RefCount(), 2u);
    list->Add(new Probe(live), true);  // only the collection holds this one
    list->Add(new Probe(live), true);
    EXPECT_EQ(live, 3);
    list->Delete(Variant(1));
    EXPECT_EQ(live, 2);
    auto fetched = list->GetItems(Variant(L"KEPT"));
    EXPECT_EQ(fetched.Get(), static_cast<IInterface*>(kept.Get()));
    fetched.Reset();
    list->Clear();
    EXPECT_EQ(live, 1);
    EXPECT_EQ(kept->RefCount(), 1u);
    list->Add(new Probe(live), true);
    EXPECT_EQ(live, 2);
  }
  EXPECT_EQ(live, 0);  // destroying the collection releases the rest
}

TEST(Collections, ObjectCollectionOwnsAndFreesRefusedObjects) {
  struct Owned : TObject {
    explicit Owned(int& live) : live(live) { ++live; }
    ~Owned() override { --live; }
    int& live;
  };
  int live = 0;
  {
    RefPtr<TObjectCollection> list(new TObjectCollection);
    auto* first = new Owned(live);
    EXPECT_EQ(list->Add(first, false, L"one"), first);
    EXPECT_EQ(list->Add(new Owned(live), false, L"ONE"), nullptr);  // refused and freed
    EXPECT_EQ(live, 1);
    EXPECT_EQ(list->GetItemsH(list->Content().HashOf(L"one")), first);
    EXPECT_EQ(list->GetItems(Variant(0)), first);
    list->Delete(Variant(L"one"));
    EXPECT_EQ(live, 0);

    Owned unowned(live);
    list->AutoClearObjects(false);
    list->Add(&unowned, false, L"x");
    list->Clear();  // not freed: the list no longer owns
    EXPECT_EQ(live, 1);
    list->AutoClearObjects(true);
    list->AddByHash(new Owned(live), 9);
  }
  EXPECT_EQ(live, 0);
}

TEST(Collections, StringCollection) {
  RefPtr<TStringCollection> list(new TStringCollection);
  EXPECT_TRUE(list->Add(L"first", false, L"k1"));
  EXPECT_FALSE(list->Add(L"dup", false, L"K1"));
  EXPECT_TRUE(list->Add(L"gen", true));
  std::wstring value;
  EXPECT_TRUE(list->GetValue(L"K1", value));
  EXPECT_EQ(value, L"first");
  EXPECT_TRUE(list->ChangeValue(L"k1", L"changed"));
  EXPECT_EQ(list->GetItems(Variant(0)), L"changed");
  EXPECT_EQ(list->GetItems(Variant(L"!")), L"");  // "k1" moved the generator past "!"
  EXPECT_EQ(list->GetItems(Variant(1)), L"gen");
  EXPECT_FALSE(list->ChangeValue(L"none", L"x"));
  value = L"untouched";
  EXPECT_FALSE(list->GetValue(L"none", value));
  EXPECT_EQ(value, L"untouched");
}

TEST(Collections, AgentParams) {
  RefPtr<TAgentParams> params(new TAgentParams);
  EXPECT_TRUE(params->Add(L"Caption", Variant(L"Move")));
  EXPECT_TRUE(params->Add(L"delay", Variant(250)));
  EXPECT_FALSE(params->Add(L"CAPTION", Variant(L"other")));
  Variant value;
  EXPECT_TRUE(params->GetValue(L"caption", value));
  EXPECT_EQ(value, Variant(L"Move"));
  std::wstring name;
  EXPECT_TRUE(params->GetNameAndValue(Variant(1), name, value));
  EXPECT_EQ(name, L"delay");
  EXPECT_EQ(value.AsInteger(), 250);
  EXPECT_TRUE(params->ChangeValue(L"Delay", Variant(500)));
  EXPECT_EQ(params->GetItems(Variant(L"delay")), Variant(500));
  EXPECT_TRUE(params->GetItems(Variant(2.0)).IsEmpty());
  EXPECT_FALSE(params->GetNameAndValue(Variant(5), name, value));
}

TEST(Collections, CopyInterfaceItemsTakesASnapshotInOrder) {
  int live = 0;
  RefPtr<TInterfaceCollection> source(new TInterfaceCollection);
  RefPtr<TInterfaceCollection> target(new TInterfaceCollection);
  source->Add(new Probe(live), false, L"b");
  source->Add(new Probe(live), false, L"a");
  target->Add(new Probe(live), false, L"old");
  CopyInterfaceItems(source.Get(), *target);
  EXPECT_EQ(live, 2);  // the old target item went
  ASSERT_EQ(target->GetCount(), 2);
  EXPECT_EQ(target->GetItemsI(0), source->GetItemsI(0));
  EXPECT_EQ(target->GetItemsI(1), source->GetItemsI(1));
  // Generated keys continue after the greatest key the target has seen.
  EXPECT_TRUE(target->KeyExist(L"ole"));
  EXPECT_TRUE(target->KeyExist(L"olf"));
  source->Clear();
  EXPECT_EQ(live, 2);  // the snapshot keeps them alive
  CopyInterfaceItems(nullptr, *target);
  EXPECT_EQ(target->GetCount(), 0);
  EXPECT_EQ(live, 0);
}

TEST(Collections, AbstractCollectionAnswersICollection) {
  RefPtr<TNamedItems> items(new TNamedItems);
  auto item = TAbstractObject::Create<TAbstractItem>(L"\\name=One");
  items->Add(item.Get());
  RefPtr<ICollection> collection = items.As<ICollection>();
  ASSERT_TRUE(collection);
  EXPECT_EQ(collection->GetCount(), 1);
  EXPECT_EQ(collection->IndexByKey(L"ONE"), 0);
  collection->Delete(Variant(L"one"));
  EXPECT_EQ(collection->GetCount(), 0);
  EXPECT_FALSE(items.As<IItem>());
}

}  // namespace
