#include "library/model/event_log.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/model/system_seam.h"

namespace {
using namespace dl::model;

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
