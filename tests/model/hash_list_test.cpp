#include "library/model/hash_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/model/crc32.h"
#include "library/model/error.h"

namespace {
using namespace dl::model;

void* P(std::intptr_t v) { return reinterpret_cast<void*>(v); }

// A list configured as every owner in this system configures it.
struct CrcList : TElHashList {
  CrcList() {
    SetHashType(TElHashType::ehtCRC32);
    SetNoCase(true);
    SetInsertDupesMode(THashInsertDupesMode::himRaise);
  }
};

std::wstring MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EElHashListError& e) {
    return e.Message();
  }
  return L"(no error)";
}

TEST(ElHashList, NewListDefaults) {
  TElHashList list;
  EXPECT_EQ(list.HashType(), TElHashType::ehtMD5);
  EXPECT_FALSE(list.QuickHash());
  EXPECT_FALSE(list.NoCase());
  EXPECT_FALSE(list.AutoClearObjects());
  EXPECT_FALSE(list.RaiseOnAbsence());
  EXPECT_EQ(list.InsertDupesMode(), THashInsertDupesMode::himInsert);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(ElHashList, HashFunctions) {
  TElHashList list;
  list.SetHashType(TElHashType::ehtCRC32);
  EXPECT_EQ(list.HashOf(L""), 0u);
  EXPECT_EQ(list.HashOf(L"123456789"), 0xCBF43926u);
  EXPECT_EQ(list.HashOf(L"Move"), Crc32("Move"));
  list.SetNoCase(true);
  EXPECT_EQ(list.HashOf(L"Move"), Crc32("MOVE"));
  EXPECT_EQ(list.HashOf(L"move"), list.HashOf(L"MOVE"));

  list.SetQuickHash(true);
  EXPECT_EQ(list.HashType(), TElHashType::ehtQuick);
  // h = h*5 + low byte of each code unit, after upper-casing a-z.
  EXPECT_EQ(list.HashOf(L"ab"), (0u * 5 + 'A') * 5 + 'B');
  EXPECT_EQ(list.HashOf(L"\u0141"), 0x41u);  // only the low 8 bits count
  list.SetNoCase(false);
  EXPECT_EQ(list.HashOf(L"ab"), (0u * 5 + 'a') * 5 + 'b');
  list.SetQuickHash(false);
  EXPECT_EQ(list.HashType(), TElHashType::ehtCRC32);
}

TEST(ElHashList, ErrorTextsWordForWord) {
  CrcList list;
  list.AddItem(L"a", P(1));
  list.AddItem(L"b", P(2));
  EXPECT_EQ(MessageOf([&] { list.InsertItem(3, L"c", P(3)); }),
            L"InsertItem. Invalid position: 3 (count = 2)");
  EXPECT_EQ(MessageOf([&] { list.InsertItem(-1, L"c", P(3)); }),
            L"InsertItem. Invalid position: -1 (count = 2)");
  EXPECT_EQ(MessageOf([&] { list.InsertItemByHash(5, 7, P(3)); }),
            L"InsertItemByHash. Invalid position: 5 (count = 2)");
  EXPECT_EQ(MessageOf([&] { list.AddItem(L"A", P(3)); }), L"InsertItem. Duplicate entry: hash string A");
  EXPECT_EQ(MessageOf([&] { list.AddItemByHash(list.HashOf(L"b"), P(3)); }),
            L"InsertItemByHash. Duplicate entry: hash value " + std::to_wstring(list.HashOf(L"b")));
  EXPECT_EQ(MessageOf([&] { list.SetCapacity(1); }),
            L"SetCapacity. Invalid ElHashList capacity: FCount = 2, NewCapacity = 1");
  EXPECT_EQ(MessageOf([&] { list.SetCapacity(134217728); }),
            L"SetCapacity. Invalid ElHashList capacity: FCount = 2, NewCapacity = 134217728");
  list.SetRaiseOnAbsence(true);
  EXPECT_EQ(MessageOf([&] { (void)list.GetIndex(L"zz"); }), L"GetIndex. Hash is absent: zz");
  EXPECT_EQ(MessageOf([&] { (void)list.GetItem(L"zz"); }), L"GetIndex. Hash is absent: zz");
  EXPECT_EQ(MessageOf([&] { (void)list.GetIndexByHash(4294967295u); }),
            L"GetIndexByHash. Hash is absent: 4294967295");
  EXPECT_EQ(list.Count(), 2);

  TElHashList md5;
  EXPECT_EQ(MessageOf([&] { (void)md5.GetIndexByHash(1); }),
            L"GetIndexByHash. Wrong hash type \"MD5\" (must be \"quick\" or \"CRC32\").");
  md5.InsertItemByHash(0, 1, P(1));  // does nothing for digest lists
  EXPECT_EQ(md5.Count(), 0);
}

TEST(ElHashList, AbsentKeysAnswerNothingWithoutRaising) {
  CrcList list;
  list.AddItem(L"a", P(1));
  EXPECT_EQ(list.GetIndex(L"b"), -1);
  EXPECT_EQ(list.GetItem(L"b"), nullptr);
  EXPECT_EQ(list.GetByIndex(1), nullptr);
  EXPECT_EQ(list.GetByIndex(-1), nullptr);
  EXPECT_EQ(list.GetHashByIndex(5), 0u);
  list.DeleteItem(L"b");
  list.DeleteItemByIndex(3);
  list.DeleteItemByHash(12345);
  EXPECT_EQ(list.Count(), 1);
}

TEST(ElHashList, CapacityGrowsByStepsAndHalvesAfterDeletions) {
  CrcList list;
  std::vector<int> growth;
  for (int i = 0; i < 100; ++i) {
    list.AddItem(std::to_wstring(i), P(i + 1));
    if (growth.empty() || growth.back() != list.Capacity()) growth.push_back(list.Capacity());
  }
  // +4 up to 8, +16 from 9 to 64, then +capacity/4.
  EXPECT_EQ(growth, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));

  CrcList full;
  for (int i = 0; i < 8; ++i) full.AddItem(std::to_wstring(i), P(i + 1));
  ASSERT_EQ(full.Capacity(), 8);
  std::vector<std::pair<int, int>> seen;  // (count, capacity) after each deletion
  while (full.Count() > 0) {
    full.DeleteItemByIndex(0);
    seen.emplace_back(full.Count(), full.Capacity());
  }
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{
                      {7, 8}, {6, 8}, {5, 8}, {4, 8}, {3, 4}, {2, 4}, {1, 2}, {0, 1}}));
}

TEST(ElHashList, DuplicateModes) {
  int deletions = 0;
  void* deleted = nullptr;
  CrcList list;
  list.SetOnDelete([&](TElHashList&, void* data) {
    ++deletions;
    deleted = data;
  });
  list.AddItem(L"a", P(1));
  list.AddItem(L"b", P(2));

  list.SetInsertDupesMode(THashInsertDupesMode::himReplace);
  list.AddItem(L"A", P(10));
  EXPECT_EQ(deletions, 1);
  EXPECT_EQ(deleted, P(1));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetByIndex(0), P(10));  // position kept

  list.SetInsertDupesMode(THashInsertDupesMode::himIgnore);
  list.AddItem(L"b", P(20));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetItem(L"b"), P(2));

  for (auto mode : {THashInsertDupesMode::himInsert, THashInsertDupesMode::himMove}) {
    list.SetInsertDupesMode(mode);
    list.InsertItem(0, L"b", P(30));
  }
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.GetItem(L"b"), P(30));  // the first entry with the hash wins
  EXPECT_EQ(deletions, 1);
}

struct Counted : TObject {
  explicit Counted(int& live) : live(live) { ++live; }
  ~Counted() override { --live; }
  int& live;
};

TEST(ElHashList, DeletionRunsTheCallbackAndFreesOwnedObjects) {
  int live = 0;
  std::vector<void*> callbacks;
  {
    CrcList list;
    list.SetAutoClearObjects(true);
    list.SetOnDelete([&](TElHashList& sender, void* data) {
      callbacks.push_back(data);
      for (int i = 0; i < sender.Count(); ++i) EXPECT_NE(sender.GetByIndex(i), data);  // already out
    });
    list.AddItem(L"a", static_cast<TObject*>(new Counted(live)));
    list.AddItem(L"b", static_cast<TObject*>(new Counted(live)));
    list.AddItem(L"c", static_cast<TObject*>(new Counted(live)));
    list.AddItem(L"none", nullptr);  // no data: no callback
    EXPECT_EQ(live, 3);
    list.DeleteItem(L"B");
    EXPECT_EQ(live, 2);
    EXPECT_EQ(callbacks.size(), 1u);
  }
  EXPECT_EQ(live, 0);  // the destructor clears
  EXPECT_EQ(callbacks.size(), 3u);
}

TEST(ElHashList, ClearDeletesLastFirstAndDropsCapacity) {
  std::vector<void*> order;
  CrcList list;
  list.SetOnDelete([&](TElHashList&, void* data) { order.push_back(data); });
  for (int i = 1; i <= 5; ++i) list.AddItem(std::to_wstring(i), P(i));
  list.Clear();
  EXPECT_EQ(order, (std::vector<void*>{P(5), P(4), P(3), P(2), P(1)}));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(ElHashList, ChangingTheHashTypeClearsTheList) {
  int deletions = 0;
  CrcList list;
  list.SetOnDelete([&](TElHashList&, void*) { ++deletions; });
  list.AddItem(L"a", P(1));
  list.SetHashType(TElHashType::ehtCRC32);  // same type: nothing happens
  EXPECT_EQ(list.Count(), 1);
  list.SetQuickHash(true);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(deletions, 1);
}

TEST(ElHashList, MoveItemShiftsTheEntriesBetween) {
  CrcList list;
  for (int i = 0; i < 5; ++i) list.AddItem(std::to_wstring(i), P(i));
  list.MoveItem(0, 3);
  list.MoveItem(4, 1);
  list.MoveItem(2, 9);  // out of range: nothing
  std::vector<void*> order;
  for (int i = 0; i < list.Count(); ++i) order.push_back(list.GetByIndex(i));
  EXPECT_EQ(order, (std::vector<void*>{P(1), P(4), P(2), P(3), P(0)}));
  EXPECT_EQ(list.GetIndex(L"4"), 1);  // hashes travel with their data
}

TEST(ElHashList, SortOrdersByDataWithHashes) {
  CrcList list;
  const int values[] = {5, 3, 9, 1, 7, 3, 8, 2};
  for (int i = 0; i < 8; ++i) list.AddItem(L"k" + std::to_wstring(i), P(values[i]));
  list.Sort([](void* a, void* b) {
    auto x = reinterpret_cast<std::intptr_t>(a), y = reinterpret_cast<std::intptr_t>(b);
    return x < y ? -1 : x > y ? 1 : 0;
  });
  std::vector<void*> order;
  for (int i = 0; i < list.Count(); ++i) order.push_back(list.GetByIndex(i));
  EXPECT_EQ(order, (std::vector<void*>{P(1), P(2), P(3), P(3), P(5), P(7), P(8), P(9)}));
  EXPECT_EQ(list.GetItem(L"k2"), P(9));
  EXPECT_EQ(list.GetItem(L"k3"), P(1));

  CrcList empty;
  empty.Sort([](void*, void*) { return 0; });
  EXPECT_EQ(empty.Count(), 0);
  // A comparison that is no order at all still ends and keeps every entry.
  list.Sort([](void*, void*) { return -1; });
  list.Sort([](void*, void*) { return 1; });
  EXPECT_EQ(list.Count(), 8);
}

TEST(ElHashList, CallbackThatEmptiesTheListDuringClear) {
  CrcList list;
  int calls = 0;
  list.SetOnDelete([&](TElHashList& sender, void*) {
    ++calls;
    sender.DeleteItemByIndex(0);  // re-entrant change from a callback
  });
  for (int i = 1; i <= 6; ++i) list.AddItem(std::to_wstring(i), P(i));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(calls, 6);
}

}  // namespace
