#include "library/model/interfaces.h"

#include <gtest/gtest.h>

#include "library/model/event_log.h"
#include "library/model/items.h"
#include "library/model/system_seam.h"

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

class RecordingSink : public TInterfacedObject, public virtual IEventLogSink {
 public:
  struct Sent {
    std::wstring receiver;
    std::uint32_t command;
    std::wstring data;
  };
  std::vector<Sent> sent;
  bool fail = false;
  void SendCommand(std::wstring_view receiver, std::uint32_t command, std::wstring_view data) override {
    if (fail) throw std::runtime_error("link down");
    sent.push_back({std::wstring(receiver), command, std::wstring(data)});
  }
};

TEST(EventLog, SendsFormattedLinesOnlyWhenSwitchedOnAndASinkExists) {
  EXPECT_FALSE(EventLogEnabled());
  RefPtr<RecordingSink> sink(new RecordingSink);
  WriteEventLog(L"no sink, no switch");
  SetEventLogSink(sink.Get());
  EXPECT_EQ(sink->RefCount(), 2u);
  WriteEventLog(L"switch off");
  EXPECT_TRUE(sink->sent.empty());

  SetEventLogEnabled(true);
  WriteEventLog(L"Attach;notepad.exe");
  ASSERT_EQ(sink->sent.size(), 1u);
  EXPECT_EQ(sink->sent[0].receiver, L"EventLogger");
  EXPECT_EQ(sink->sent[0].command, 75u);
  wchar_t expected[40];
  swprintf(expected, 40, L"%08X;%08X;", CurrentProcessId(), CurrentThreadId());
  EXPECT_EQ(sink->sent[0].data, std::wstring(expected) + L"Attach;notepad.exe");

  sink->fail = true;
  WriteEventLog(L"a failing sink does not reach the caller");

  SetEventLogSink(nullptr);
  EXPECT_EQ(sink->RefCount(), 1u);
  sink->fail = false;
  WriteEventLog(L"sink gone");
  EXPECT_EQ(sink->sent.size(), 1u);
  SetEventLogEnabled(false);
}

}  // namespace
