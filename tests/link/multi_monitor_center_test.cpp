// The multi-monitor center from the main program's device records and this process's
// monitors: rectangles and work areas, choosing a monitor for a point or a rectangle, point
// conversion between physical and logical pixels, blocks that lie, and who hears of changes.
#include "library/link/multi_monitor_center.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "library/link/process_monitor_center.h"
#include "platform/handles.h"
#include "protocol/monitor_block.h"

// The rectangle and point types live in the global namespace: so must their comparisons.
bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }
std::ostream& operator<<(std::ostream& os, const RECT& r) {
  return os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}
std::ostream& operator<<(std::ostream& os, const POINT& p) { return os << "(" << p.x << "," << p.y << ")"; }

namespace dl::link {
namespace {
namespace mb = protocol::monitor_block;
using model::RefPtr;

// Monitor handles the fake process sees: distinct values that no real monitor has.
HMONITOR Handle(int i) { return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(0x7100 + i)); }

// A block and a monitor list that the test changes between updates.
struct FakeWorld {
  std::optional<DeviceRecords> block;
  std::vector<ProcessMonitor> monitors;
  std::vector<bool> askedPerMonitor;  // one entry per enumeration

  MonitorSources Sources() {
    return {[this] { return block; },
            [this](bool perMonitor) {
              askedPerMonitor.push_back(perMonitor);
              return monitors;
            }};
  }
};

RefPtr<TMultiMonitorCenter> Built(FakeWorld& world) {
  RefPtr<TMultiMonitorCenter> center(new TMultiMonitorCenter(world.Sources()));
  center->Update();
  return center;
}

// Two monitors side by side at 200 % and 100 %, a clone of the first, a detached device, and
// a device this process does not see.
FakeWorld Desk() {
  FakeWorld w;
  w.block = DeviceRecords{
      {u"\\\\.\\DISPLAY1", {0, 0, 3840, 2160}, true, false},
      {u"\\\\.\\DISPLAY2", {3840, 0, 5120, 1024}, true, false},
      {u"\\\\.\\DISPLAY3", {0, 0, 3840, 2160}, true, true},
      {u"\\\\.\\DISPLAY4", {0, 0, 800, 600}, false, false},
      {u"\\\\.\\DISPLAY9", {9000, 0, 9800, 600}, true, false},
  };
  w.monitors = {
      {Handle(1), {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, L"\\\\.\\DISPLAY1"},
      {Handle(2), {1920, 0, 3200, 1024}, {1920, 0, 3200, 984}, L"\\\\.\\DISPLAY2"},
      {Handle(3), {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, L"\\\\.\\DISPLAY3"},
  };
  return w;
}

TEST(MultiMonitorCenter, RecordsBecomeMonitorRectanglesAndWorkAreas) {
  FakeWorld world = Desk();
  auto center = Built(world);
  EXPECT_EQ(center->GetDeviceCount(), 5);
  EXPECT_EQ(center->GetDesktopMonitorCount(), 3) << "attached and not a clone; the unseen one counts too";
  EXPECT_EQ(center->GetDesktopMonitors(), (std::vector<HMONITOR>{Handle(1), Handle(2), nullptr}));
  EXPECT_EQ(center->GetDesktopMonitorsPhysicalRects(),
            (std::vector<RECT>{{0, 0, 3840, 2160}, {3840, 0, 5120, 1024}, {9000, 0, 9800, 600}}));
  EXPECT_EQ(center->GetDesktopMonitorsRects()[1], (RECT{1920, 0, 3200, 1024}));
  EXPECT_EQ(center->GetDesktopMonitorsWorkRects()[0], (RECT{0, 0, 1920, 1040}));
  EXPECT_EQ(center->GetDesktopMonitorsRects()[2], RECT{}) << "no monitor of that name: nothing seen";

  RECT r{};
  EXPECT_TRUE(center->GetDesktopMonitorRect(Handle(2), r));
  EXPECT_EQ(r, (RECT{1920, 0, 3200, 1024}));
  EXPECT_TRUE(center->GetDesktopMonitorWorkRect(Handle(2), r));
  EXPECT_EQ(r, (RECT{1920, 0, 3200, 984}));
  EXPECT_FALSE(center->GetDesktopMonitorRect(Handle(7), r));
  EXPECT_EQ(r, RECT{});
  EXPECT_FALSE(center->GetDesktopMonitorRect(nullptr, r)) << "a device without a monitor is never found by handle";

  EXPECT_TRUE(center->IsPrimaryMonitor(Handle(1)));
  EXPECT_FALSE(center->IsPrimaryMonitor(Handle(2)));
  EXPECT_EQ(center->GetDeviceIndexFromHMonitor(Handle(2)), 1);
  EXPECT_EQ(center->GetDeviceIndexFromHMonitor(Handle(7)), -1);
  EXPECT_EQ(center->GetHMonitorFromDeviceIndex(2), Handle(3));
  EXPECT_EQ(center->GetHMonitorFromDeviceIndex(5), nullptr);
  EXPECT_EQ(center->GetHMonitorFromDeviceIndex(-1), nullptr);
  EXPECT_EQ(center->GetMonitorFromPhysicalPoint({3000, 100}), Handle(1));
  EXPECT_EQ(center->GetMonitorFromPhysicalPoint({4000, 100}), Handle(2));
  EXPECT_EQ(center->GetMonitorFromPhysicalPoint({700, 5000}), nullptr);
  EXPECT_EQ(world.askedPerMonitor, (std::vector<bool>{false})) << "Update sees the monitors as the thread does";
}

TEST(MultiMonitorCenter, CloneFilteringModes) {
  FakeWorld world = Desk();
  auto center = Built(world);
  const RECT first{0, 0, 1920, 1080}, second{1920, 0, 3200, 1024}, none{};
  EXPECT_EQ(center->GetMonitorRects(false, 1), (std::vector<RECT>{first, second, first, none, none}));
  EXPECT_EQ(center->GetMonitorRects(true, 1), (std::vector<RECT>{first, second, none, none}));
  EXPECT_EQ(center->GetMonitorRects(true, 0), (std::vector<RECT>{first, second, none, none, none}));
  EXPECT_EQ(center->GetMonitorRects(true, 2), (std::vector<RECT>{first, second, first, none, none}));
}

TEST(MultiMonitorCenter, MonitorForPointAndRectangle) {
  FakeWorld world;
  world.block = DeviceRecords{{u"A", {0, 0, 100, 100}, true, false}, {u"B", {100, 0, 200, 100}, true, false}};
  world.monitors = {{Handle(1), {0, 0, 100, 100}, {0, 0, 100, 90}, L"A"},
                    {Handle(2), {100, 0, 200, 100}, {100, 0, 200, 90}, L"B"}};
  auto center = Built(world);
  struct Case {
    const char* what;
    POINT point;
    RECT expected;
  };
  const Case points[] = {
      {"inside the second", {150, 50}, {100, 0, 200, 100}},
      {"on the shared edge: right edges are outside", {100, 50}, {100, 0, 200, 100}},
      {"left of both: the nearer", {-30, 50}, {0, 0, 100, 100}},
      {"below the second", {180, 400}, {100, 0, 200, 100}},
  };
  for (const Case& c : points) {
    SCOPED_TRACE(c.what);
    RECT r{};
    ASSERT_TRUE(center->GetDesktopMonitorRectForPoint(c.point, r));
    EXPECT_EQ(r, c.expected);
    ASSERT_TRUE(center->GetDesktopMonitorWorkRectForPoint(c.point, r));
    EXPECT_EQ(r.bottom, 90);
    EXPECT_EQ(r.left, c.expected.left);
  }
  struct RectCase {
    const char* what;
    RECT of;
    LONG expectedLeft;
  };
  const RectCase rects[] = {
      {"mostly on the second", {80, 10, 190, 50}, 100},
      {"mostly on the first", {10, 10, 120, 50}, 0},
      {"equal overlap: the first in order", {50, 10, 150, 50}, 0},
      {"apart from both, nearer the second", {260, 10, 300, 50}, 100},
      {"above both, nearer the first", {10, -80, 40, -20}, 0},
  };
  for (const RectCase& c : rects) {
    SCOPED_TRACE(c.what);
    RECT r{};
    ASSERT_TRUE(center->GetDesktopMonitorRectForRect(c.of, r));
    EXPECT_EQ(r.left, c.expectedLeft);
  }
}

TEST(MultiMonitorCenter, MonitorForARealWindow) {
  FakeWorld world;
  world.block = DeviceRecords{{u"A", {0, 0, 100, 100}, true, false}, {u"B", {100, 0, 400, 300}, true, false}};
  world.monitors = {{Handle(1), {0, 0, 100, 100}, {0, 0, 100, 90}, L"A"},
                    {Handle(2), {100, 0, 400, 300}, {100, 0, 400, 280}, L"B"}};
  auto center = Built(world);
  platform::UniqueWindow wnd(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 90, 10, 200, 100, nullptr, nullptr,
                                               nullptr, nullptr));
  ASSERT_TRUE(wnd);
  RECT r{};
  ASSERT_TRUE(center->GetDesktopMonitorWorkRectForWindow(wnd.get(), r));
  EXPECT_EQ(r, (RECT{100, 0, 400, 280}));
  HWND gone = wnd.release();
  ::DestroyWindow(gone);
  EXPECT_FALSE(center->GetDesktopMonitorRectForWindow(gone, r));
}

// One monitor whose physical pixels the process sees scaled down by the given percentage,
// placed right of a 100 % monitor so that both origins take part.
struct Scale {
  int percent;
  RECT real;
  RECT logical;
};

TEST(MultiMonitorCenter, PointConversionRoundTripsAtEachScale) {
  const Scale scales[] = {
      {100, {1920, 0, 3840, 1080}, {1920, 0, 3840, 1080}},
      {150, {1920, 0, 4800, 1620}, {1920, 0, 3840, 1080}},
      {200, {1920, 0, 5760, 2160}, {1920, 0, 3840, 1080}},
  };
  for (const Scale& s : scales) {
    SCOPED_TRACE(std::to_string(s.percent) + " %");
    FakeWorld world;
    world.block = DeviceRecords{{u"P", {0, 0, 1920, 1080}, true, false},
                                {u"S", {s.real.left, s.real.top, s.real.right, s.real.bottom}, true, false}};
    world.monitors = {{Handle(1), {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, L"P"},
                      {Handle(2), s.logical, s.logical, L"S"}};
    auto center = Built(world);
    // Every logical point comes back to itself through physical pixels.
    std::vector<POINT> logical;
    for (LONG x = s.logical.left; x < s.logical.right; x += 37)
      for (LONG y = s.logical.top; y < s.logical.bottom; y += 53) logical.push_back({x, y});
    logical.push_back({s.logical.right - 1, s.logical.bottom - 1});
    std::vector<POINT> through = logical;
    center->MapLogicalToPhysicalPoints(Handle(2), through.data(), static_cast<int>(through.size()));
    for (std::size_t i = 0; i < through.size(); ++i) {
      ASSERT_GE(through[i].x, s.real.left);
      ASSERT_LT(through[i].x, s.real.right);
    }
    center->MapPhysicalToLogicalPoints(Handle(2), through.data(), static_cast<int>(through.size()));
    EXPECT_EQ(through, logical);
    // The corners land on each other exactly.
    POINT corner{s.real.right, s.real.bottom};
    center->MapPhysicalToLogicalPoints(Handle(2), &corner, 1);
    EXPECT_EQ(corner, (POINT{s.logical.right, s.logical.bottom}));
    // A physical point comes back to a physical point with the same logical position.
    POINT p{s.real.left + 1001, 777}, q = p;
    center->MapPhysicalToLogicalPoints(Handle(2), &q, 1);
    POINT logicalOfP = q;
    center->MapLogicalToPhysicalPoints(Handle(2), &q, 1);
    center->MapPhysicalToLogicalPoints(Handle(2), &q, 1);
    EXPECT_EQ(q, logicalOfP);
    // The 100 % monitor beside it leaves points alone.
    POINT same{500, 500};
    center->MapPhysicalToLogicalPoints(Handle(1), &same, 1);
    EXPECT_EQ(same, (POINT{500, 500}));
  }
}

TEST(MultiMonitorCenter, HalfScaleMapsTheMiddleOfA4kMonitorAndBack) {
  FakeWorld world;
  world.block = DeviceRecords{{u"D", {0, 0, 3840, 2160}, true, false}};
  world.monitors = {{Handle(1), {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, L"D"}};
  auto center = Built(world);
  POINT p{1920, 1080};
  center->MapPhysicalToLogicalPoints(Handle(1), &p, 1);
  EXPECT_EQ(p, (POINT{960, 540}));
  center->MapLogicalToPhysicalPoints(Handle(1), &p, 1);
  EXPECT_EQ(p, (POINT{1920, 1080}));
  // No count, a foreign monitor or no points: nothing moves, nothing is read.
  center->MapPhysicalToLogicalPoints(Handle(1), &p, 0);
  center->MapPhysicalToLogicalPoints(Handle(5), &p, 1);
  center->MapPhysicalToLogicalPoints(Handle(1), nullptr, 3);
  EXPECT_EQ(p, (POINT{1920, 1080}));
}

TEST(MultiMonitorCenter, RecordWithAnEmptyRectangleScalesNothing) {
  FakeWorld world;
  world.block = DeviceRecords{{u"Z", {0, 0, 0, 0}, true, false}};
  world.monitors = {{Handle(1), {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, L"Z"}};
  auto center = Built(world);
  POINT p{100, 100};
  center->MapPhysicalToLogicalPoints(Handle(1), &p, 1);
  EXPECT_EQ(p, (POINT{100, 100}));
}

// A real named mapping laid out by hand.
class MappedBlock {
 public:
  MappedBlock(const wchar_t* name, const std::vector<std::uint8_t>& bytes) {
    mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        static_cast<DWORD>(bytes.size()), name));
    platform::UniqueView view(::MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, bytes.size()));
    if (view) std::memcpy(view.get(), bytes.data(), bytes.size());
  }
  [[nodiscard]] bool Ok() const { return static_cast<bool>(mapping_); }

 private:
  platform::UniqueHandle mapping_;
};

std::vector<std::uint8_t> WithCount(std::vector<std::uint8_t> bytes, std::uint32_t count) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(count >> (8 * i));
  return bytes;
}

TEST(MonitorBlockMapping, CountThatTheMappingCannotHoldIsNoBlock) {
  const auto honest = mb::WriteMonitorBlock({{u"\\\\.\\DISPLAY1", {0, 0, 640, 480}, true, false}});
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool present;
  };
  const Case cases[] = {
      {"honest", honest, true},
      // More records than the whole mapping, page rounding included, has room for.
      {"a hundred records in a mapping of one", WithCount(honest, 100), false},
      {"the largest count", WithCount(honest, 0xFFFFFFFFu), false},
      {"a count whose size wraps in 32 bits", WithCount(honest, 0x02E8BA2Fu), false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring name = L"Local\\DlMonitorBlockTest_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                              std::to_wstring(n++);
    MappedBlock block(name.c_str(), c.bytes);
    ASSERT_TRUE(block.Ok());
    const auto records = ReadMonitorBlockMapping(name.c_str());
    ASSERT_EQ(records.has_value(), c.present);
    if (c.present) {
      EXPECT_EQ((*records)[0].realRect.right, 640);
    }
  }
  EXPECT_FALSE(ReadMonitorBlockMapping(L"Local\\DlMonitorBlockTest_absent").has_value());
}

TEST(MultiMonitorCenter, BlockThatLiesOrIsGoneKeepsTheCurrentState) {
  FakeWorld world = Desk();
  auto center = Built(world);
  ASSERT_EQ(center->GetDeviceCount(), 5);
  for (auto next : {std::optional<DeviceRecords>{}, std::optional<DeviceRecords>{DeviceRecords{}}}) {
    world.block = next;
    center->Update();
    EXPECT_EQ(center->GetDeviceCount(), 5);
    EXPECT_EQ(center->GetDesktopMonitorCount(), 3);
  }
  // A new center over a block that lies has no devices and answers "none".
  auto empty = Built(world);
  RECT r{1, 1, 1, 1};
  EXPECT_EQ(empty->GetDeviceCount(), 0);
  EXPECT_TRUE(empty->GetDesktopMonitors().empty());
  EXPECT_FALSE(empty->GetDesktopMonitorRectForPoint({0, 0}, r));
  EXPECT_EQ(r, RECT{});
}

struct RecordingSubscriber final : model::TInterfacedObject, IMMCenterSubscriber {
  std::vector<TMMCenterUpdateType> heard;
  void OnMMCenterUpdate(TMMCenterUpdateType reason) override { heard.push_back(reason); }

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override {
    if (iid == IMMCenterSubscriber::kIid) return static_cast<IMMCenterSubscriber*>(this);
    return TInterfacedObject::FindInterface(iid);
  }
};

TEST(ProcessMonitorCenter, RebuildHandsSubscribersToTheNewCenterAndRefreshLooksAgain) {
  FakeWorld world = Desk();
  ReleaseProcessMonitorCenter();
  CreateProcessMonitorCenter(world.Sources());
  RefPtr<TMultiMonitorCenter> first = ProcessMonitorCenter();
  ASSERT_TRUE(first);
  RefPtr<RecordingSubscriber> a(new RecordingSubscriber), b(new RecordingSubscriber);
  SubscribeToProcessMonitorCenter(a.Get());
  SubscribeToProcessMonitorCenter(b.Get());
  SubscribeToProcessMonitorCenter(b.Get());
  UnsubscribeFromProcessMonitorCenter(b.Get());  // one of its two subscriptions goes

  world.block->pop_back();
  RebuildProcessMonitorCenter(world.Sources());
  RefPtr<TMultiMonitorCenter> second = ProcessMonitorCenter();
  ASSERT_NE(second.Get(), first.Get());
  EXPECT_EQ(second->GetDeviceCount(), 4);
  EXPECT_EQ(first->GetSubscribers().size(), 2u) << "the old center is left as it was";
  EXPECT_EQ(a->heard, (std::vector<TMMCenterUpdateType>{TMMCenterUpdateType::mmcutAllInfo}));
  EXPECT_EQ(b->heard, (std::vector<TMMCenterUpdateType>{TMMCenterUpdateType::mmcutAllInfo}));

  // Same devices, the second monitor moved: a refresh sees it, per-monitor aware.
  world.monitors[1].rect = {1920, 100, 3200, 1124};
  world.askedPerMonitor.clear();
  OnMonitorCommand(83);
  EXPECT_EQ(world.askedPerMonitor, (std::vector<bool>{true}));
  RECT r{};
  ASSERT_TRUE(ProcessMonitorCenter()->GetDesktopMonitorRect(Handle(2), r));
  EXPECT_EQ(r.top, 100);
  EXPECT_EQ(ProcessMonitorCenter().Get(), second.Get()) << "a refresh keeps the center";
  EXPECT_EQ(a->heard.back(), TMMCenterUpdateType::mmcutMonitorsOnly);

  UnsubscribeFromProcessMonitorCenter(a.Get());
  UnsubscribeFromProcessMonitorCenter(b.Get());
  OnMonitorCommand(83);
  EXPECT_EQ(a->heard.size(), 2u);
  OnMonitorCommand(84);  // not a monitor command
  EXPECT_EQ(ProcessMonitorCenter().Get(), second.Get());
  ReleaseProcessMonitorCenter();
  EXPECT_FALSE(ProcessMonitorCenter());
}

TEST(ProcessMonitorCenter, WithoutACenterTheSystemAnswers) {
  ReleaseProcessMonitorCenter();
  RECT fromSystem{}, answered{};
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &fromSystem, 0));
  ASSERT_TRUE(WorkRectForPoint({10, 10}, answered));
  MONITORINFO info{sizeof info};
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint({10, 10}, MONITOR_DEFAULTTONEAREST), &info));
  EXPECT_EQ(answered, info.rcWork);
  EXPECT_FALSE(DesktopMonitors().empty());
  POINT p{123, 456};
  MapPhysicalToLogical(::MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST), &p, 1);
  EXPECT_EQ(p, (POINT{123, 456}));
  SubscribeToProcessMonitorCenter(nullptr);  // nothing to subscribe to: nothing happens
}

TEST(ProcessMonitorCenter, AtFirstUseTheFirstSubscriberMakesItOnceAndNoneComesBackAfterTheRelease) {
  ReleaseProcessMonitorCenter();
  CreateProcessMonitorCenterAtFirstUse();
  RefPtr<RecordingSubscriber> a(new RecordingSubscriber);
  SubscribeToProcessMonitorCenter(a.Get());
  RefPtr<TMultiMonitorCenter> made = ProcessMonitorCenter();
  ASSERT_TRUE(made) << "the first subscription made the center";
  EXPECT_EQ(made->GetSubscribers().size(), 1u) << "with its subscriber in it";
  EXPECT_EQ(ProcessMonitorCenter().Get(), made.Get()) << "made once";
  OnMonitorCommand(83);
  EXPECT_EQ(a->heard, (std::vector<TMMCenterUpdateType>{TMMCenterUpdateType::mmcutMonitorsOnly}));
  UnsubscribeFromProcessMonitorCenter(a.Get());

  ReleaseProcessMonitorCenter();
  RECT answered{};
  EXPECT_TRUE(WorkRectForPoint({10, 10}, answered));
  SubscribeToProcessMonitorCenter(a.Get());
  EXPECT_FALSE(ProcessMonitorCenter()) << "after the release a query falls back to the system";
}

TEST(ProcessMonitorCenter, TheSystemsOwnMonitorsMatchTheBlockThatDescribesThem) {
  // The stand-in's view of this display, written as the main program would, read back
  // through a real mapping: the process's monitor is found by its device name.
  const std::vector<ProcessMonitor> seen = ListProcessMonitors(false);
  ASSERT_FALSE(seen.empty());
  DeviceRecords records;
  for (const auto& m : seen)
    records.push_back({std::u16string(m.deviceName.begin(), m.deviceName.end()),
                       {m.rect.left, m.rect.top, m.rect.right, m.rect.bottom}, true, false});
  const std::wstring name = L"Local\\DlMonitorBlockTest_system_" + std::to_wstring(::GetCurrentProcessId());
  MappedBlock block(name.c_str(), mb::WriteMonitorBlock(records));
  ASSERT_TRUE(block.Ok());
  RefPtr<TMultiMonitorCenter> center(new TMultiMonitorCenter(
      {[&] { return ReadMonitorBlockMapping(name.c_str()); }, [](bool aware) { return ListProcessMonitors(aware); }}));
  center->Update();
  ASSERT_EQ(center->GetDesktopMonitors().front(), seen.front().handle);
  RECT work{};
  ASSERT_TRUE(center->GetDesktopMonitorWorkRect(seen.front().handle, work));
  EXPECT_EQ(work, seen.front().work);
  EXPECT_FALSE(center->DeviceObjects().front().FNeedScaling);
}

}  // namespace
}  // namespace dl::link
