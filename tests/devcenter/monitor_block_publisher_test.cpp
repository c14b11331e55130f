// The stand-in's monitor block, read back by the library's own reader: what the stand-in
// sees is what every process reads, and a change of monitors is published again.
#include "tools/devcenter/monitor_block_publisher.h"

#include <gtest/gtest.h>

#include <string>

#include "library/link/monitor_sources.h"

namespace {
using dl::devcenter::DisplayDevices;
using dl::devcenter::MonitorBlockPublisher;
using dl::devcenter::MonitorWatcher;

std::wstring TestName(const wchar_t* what) {
  return L"Local\\DlDevCenterMonitorBlock_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + what;
}

DisplayDevices Devices(int n) {
  DisplayDevices devices;
  for (int i = 0; i < n; ++i)
    devices.push_back({u"\\\\.\\DISPLAY" + std::u16string(1, static_cast<char16_t>(u'1' + i % 9)),
                       {1024 * i, 0, 1024 * (i + 1), 768}, true, false});
  return devices;
}

TEST(MonitorBlockPublisher, WhatTheStandInSeesIsWhatTheLibraryReads) {
  const DisplayDevices seen = dl::devcenter::SeeDisplayDevices();
  ASSERT_FALSE(seen.empty()) << "Wine shows at least its one display";
  const std::wstring name = TestName(L"seen");
  MonitorBlockPublisher publisher(name.c_str());
  publisher.Publish(seen);
  const auto read = dl::link::ReadMonitorBlockMapping(name.c_str());
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, seen);
  // The library's own list of this display has the same device name and, at 96 DPI, the same rectangle.
  const auto monitors = dl::link::ListProcessMonitors(true);
  ASSERT_FALSE(monitors.empty());
  EXPECT_EQ(std::wstring(seen[0].deviceName.begin(), seen[0].deviceName.end()), monitors[0].deviceName);
  EXPECT_EQ(seen[0].realRect.right - seen[0].realRect.left, monitors[0].rect.right - monitors[0].rect.left);
}

TEST(MonitorBlockPublisher, RepublishingReplacesTheRecordsAndKeepsToItsCapacity) {
  const std::wstring name = TestName(L"capacity");
  MonitorBlockPublisher publisher(name.c_str());
  const auto empty = dl::link::ReadMonitorBlockMapping(name.c_str());
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty()) << "before the first publication: no devices";
  for (int n : {3, 1, 40}) {
    SCOPED_TRACE(n);
    publisher.Publish(Devices(n));
    const auto read = dl::link::ReadMonitorBlockMapping(name.c_str());
    ASSERT_TRUE(read);
    const std::size_t expected = std::min<std::size_t>(n, MonitorBlockPublisher::kMaxDevices);
    ASSERT_EQ(read->size(), expected);
    EXPECT_EQ(read->back().realRect.left, 1024 * static_cast<int>(expected - 1));
  }
}

TEST(MonitorWatcher, PublishesAgainOnlyWhenTheMonitorsChange) {
  const std::wstring name = TestName(L"watch");
  MonitorBlockPublisher publisher(name.c_str());
  DisplayDevices now = Devices(2);
  MonitorWatcher watcher(publisher, [&] { return now; });
  watcher.PublishNow();
  EXPECT_FALSE(watcher.CheckForChange());
  now[1].realRect.right += 1024;  // the second monitor got wider
  EXPECT_TRUE(watcher.CheckForChange());
  EXPECT_FALSE(watcher.CheckForChange());
  EXPECT_EQ(dl::link::ReadMonitorBlockMapping(name.c_str())->at(1).realRect.right, 3072);
  now.pop_back();
  EXPECT_TRUE(watcher.CheckForChange());
  EXPECT_EQ(dl::link::ReadMonitorBlockMapping(name.c_str())->size(), 1u);
  now = Devices(40);
  EXPECT_TRUE(watcher.CheckForChange());
  EXPECT_FALSE(watcher.CheckForChange()) << "what does not fit is not a change every time";
}

}  // namespace
