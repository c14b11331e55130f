#include "library/link/multi_monitor_center.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

namespace dl::link {
namespace {

class SharedSrwLock {
 public:
  explicit SharedSrwLock(SRWLOCK& lock) noexcept : lock_(lock) { ::AcquireSRWLockShared(&lock_); }
  SharedSrwLock(const SharedSrwLock&) = delete;
  SharedSrwLock& operator=(const SharedSrwLock&) = delete;
  ~SharedSrwLock() { ::ReleaseSRWLockShared(&lock_); }

 private:
  SRWLOCK& lock_;
};

bool SameRect(const RECT& a, const RECT& b) noexcept {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool Contains(const RECT& r, POINT p) noexcept {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Distance along one axis from a coordinate to the span [low, high): 0 inside, the gap to the
// low edge below it, the gap to the high edge plus one at or beyond it.
std::int64_t AxisGap(std::int64_t c, std::int64_t low, std::int64_t high) noexcept {
  if (c < low) return low - c;
  if (c >= high) return c - high + 1;
  return 0;
}

// The same for two spans: the gap between the span's nearest pixel and the other span.
std::int64_t SpanGap(std::int64_t lo, std::int64_t hi, std::int64_t low, std::int64_t high) noexcept {
  if (hi <= low) return AxisGap(hi - 1, low, high);
  if (lo >= high) return AxisGap(lo, low, high);
  return 0;
}

std::int64_t Squared(std::int64_t v) noexcept { return v * v; }

RECT ToRect(const protocol::monitor_block::Rect& r) noexcept { return RECT{r.left, r.top, r.right, r.bottom}; }

// Rounded a * b / c with a 64-bit intermediate, halves away from zero (as MulDiv).
LONG ScaleRounded(std::int64_t a, std::int64_t b, std::int64_t c) noexcept {
  const std::int64_t product = a * b;
  const std::int64_t half = c / 2;
  const std::int64_t q = product >= 0 ? (product + half) / c : -((-product + half) / c);
  return static_cast<LONG>(q);
}

}  // namespace

void MatchToProcessMonitor(TDisplayDeviceObject& object, const std::vector<ProcessMonitor>& monitors) {
  for (const ProcessMonitor& m : monitors) {
    if (m.deviceName.size() >= object.FDeviceName.size()) continue;
    if (::lstrcmpW(m.deviceName.c_str(), object.FDeviceName.data()) != 0) continue;
    object.FMonitorHandle = m.handle;
    object.FMonitorVirtualRect = m.rect;
    object.FMonitorVirtualWorkRect = m.work;
    break;
  }
  const RECT& real = object.FMonitorRealRect;
  const RECT& virt = object.FMonitorVirtualRect;
  object.FNeedScaling = !SameRect(real, virt);
  const bool tall = virt.bottom - virt.top > virt.right - virt.left;
  object.FRealSize = tall ? real.bottom - real.top : real.right - real.left;
  object.FVirtualSize = tall ? virt.bottom - virt.top : virt.right - virt.left;
}

TMultiMonitorCenter::TMultiMonitorCenter(MonitorSources sources) : sources_(std::move(sources)) {}

void* TMultiMonitorCenter::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IMultiMonitorCenterClient::kIid) return static_cast<IMultiMonitorCenterClient*>(this);
  return TInterfacedObject::FindInterface(iid);
}

void TMultiMonitorCenter::Update() {
  if (!sources_.readBlock) return;
  const std::optional<DeviceRecords> records = sources_.readBlock();
  // An absent block, one that lies about its size, or one without devices: keep what we have.
  if (!records || records->empty()) return;
  const std::vector<ProcessMonitor> monitors =
      sources_.listMonitors ? sources_.listMonitors(false) : std::vector<ProcessMonitor>{};
  std::vector<TDisplayDeviceObject> objects;
  objects.reserve(records->size());
  int desktop = 0;
  for (const auto& record : *records) {
    TDisplayDeviceObject object;
    const std::size_t units = std::min(record.deviceName.size(), object.FDeviceName.size() - 1);
    std::copy_n(record.deviceName.begin(), units, object.FDeviceName.begin());
    object.FAttached = record.attached;
    object.FCloneSlave = record.cloneSlave;
    object.FMonitorRealRect = ToRect(record.realRect);
    MatchToProcessMonitor(object, monitors);
    if (object.IsDesktopMonitor()) ++desktop;
    objects.push_back(object);
  }
  platform::ExclusiveSrwLock lock(devicesLock_);
  FDisplayDeviceObjects = std::move(objects);
  FDesktopMonitorCount = desktop;
}

void TMultiMonitorCenter::UpdateMonitors() {
  if (!sources_.listMonitors) return;
  const std::vector<ProcessMonitor> monitors = sources_.listMonitors(true);
  std::vector<TDisplayDeviceObject> objects = DeviceObjects();
  for (TDisplayDeviceObject& object : objects)
    if (object.FAttached) MatchToProcessMonitor(object, monitors);
  platform::ExclusiveSrwLock lock(devicesLock_);
  // A rebuild replaces the whole center, never this one's objects: the count still matches.
  if (objects.size() == FDisplayDeviceObjects.size()) FDisplayDeviceObjects = std::move(objects);
}

void TMultiMonitorCenter::Subscribe(IMMCenterSubscriber* subscriber) {
  if (!subscriber) return;
  std::lock_guard lock(FSubscribersLock);
  FSubscribers.emplace_back(subscriber);
}

void TMultiMonitorCenter::Unsubscribe(IMMCenterSubscriber* subscriber) {
  model::RefPtr<IMMCenterSubscriber> removed;  // released outside the lock
  std::lock_guard lock(FSubscribersLock);
  for (auto it = FSubscribers.rbegin(); it != FSubscribers.rend(); ++it) {
    if (it->Get() != subscriber) continue;
    removed = std::move(*it);
    FSubscribers.erase(std::next(it).base());
    return;
  }
}

void TMultiMonitorCenter::NotifySubscribers(TMMCenterUpdateType reason) {
  const SubscriberList copy = GetSubscribers();
  for (const auto& subscriber : copy) {
    try {
      subscriber->OnMMCenterUpdate(reason);
    } catch (...) {
      // One subscriber's failure does not keep the news from the others.
    }
  }
}

SubscriberList TMultiMonitorCenter::GetSubscribers() const {
  std::lock_guard lock(FSubscribersLock);
  return FSubscribers;
}

void TMultiMonitorCenter::TakeOverSubscribers(const SubscriberList& subscribers) {
  std::lock_guard lock(FSubscribersLock);
  FSubscribers.insert(FSubscribers.end(), subscribers.begin(), subscribers.end());
}

std::vector<TDisplayDeviceObject> TMultiMonitorCenter::DeviceObjects() const {
  SharedSrwLock lock(devicesLock_);
  return FDisplayDeviceObjects;
}

int TMultiMonitorCenter::GetDesktopMonitorCount() const {
  SharedSrwLock lock(devicesLock_);
  return FDesktopMonitorCount;
}

int TMultiMonitorCenter::GetDeviceCount() const {
  SharedSrwLock lock(devicesLock_);
  return static_cast<int>(FDisplayDeviceObjects.size());
}

std::vector<HMONITOR> TMultiMonitorCenter::GetDesktopMonitors() const {
  SharedSrwLock lock(devicesLock_);
  std::vector<HMONITOR> out;
  for (const auto& o : FDisplayDeviceObjects)
    if (o.IsDesktopMonitor()) out.push_back(o.FMonitorHandle);
  return out;
}

bool TMultiMonitorCenter::IsPrimaryMonitor(HMONITOR monitor) const {
  if (!monitor) return false;
  SharedSrwLock lock(devicesLock_);
  for (const auto& o : FDisplayDeviceObjects)
    if (o.FMonitorHandle == monitor) return o.IsPrimary();
  return false;
}

int TMultiMonitorCenter::FirstAttachedWith(HMONITOR monitor) const {
  if (!monitor) return -1;  // a device without a matching monitor is never found by handle
  for (std::size_t i = 0; i < FDisplayDeviceObjects.size(); ++i)
    if (FDisplayDeviceObjects[i].FAttached && FDisplayDeviceObjects[i].FMonitorHandle == monitor)
      return static_cast<int>(i);
  return -1;
}

bool TMultiMonitorCenter::GetDesktopMonitorRect(HMONITOR monitor, RECT& rect) const {
  SharedSrwLock lock(devicesLock_);
  const int i = FirstAttachedWith(monitor);
  rect = i < 0 ? RECT{} : FDisplayDeviceObjects[static_cast<std::size_t>(i)].FMonitorVirtualRect;
  return i >= 0;
}

bool TMultiMonitorCenter::GetDesktopMonitorWorkRect(HMONITOR monitor, RECT& rect) const {
  SharedSrwLock lock(devicesLock_);
  const int i = FirstAttachedWith(monitor);
  rect = i < 0 ? RECT{} : FDisplayDeviceObjects[static_cast<std::size_t>(i)].FMonitorVirtualWorkRect;
  return i >= 0;
}

int TMultiMonitorCenter::DesktopMonitorForPoint(POINT point) const {
  int nearest = -1;
  std::int64_t best = 0;
  for (std::size_t i = 0; i < FDisplayDeviceObjects.size(); ++i) {
    const auto& o = FDisplayDeviceObjects[i];
    if (!o.IsDesktopMonitor()) continue;
    const RECT& r = o.FMonitorVirtualRect;
    if (Contains(r, point)) return static_cast<int>(i);
    const std::int64_t d = Squared(AxisGap(point.x, r.left, r.right)) + Squared(AxisGap(point.y, r.top, r.bottom));
    if (nearest < 0 || d < best) nearest = static_cast<int>(i), best = d;
  }
  return nearest;
}

int TMultiMonitorCenter::DesktopMonitorForRect(const RECT& of) const {
  int largest = -1, nearest = -1;
  std::int64_t bestArea = 0, bestDistance = 0;
  for (std::size_t i = 0; i < FDisplayDeviceObjects.size(); ++i) {
    const auto& o = FDisplayDeviceObjects[i];
    if (!o.IsDesktopMonitor()) continue;
    const RECT& r = o.FMonitorVirtualRect;
    RECT common{};
    if (::IntersectRect(&common, &of, &r)) {
      const std::int64_t area = (static_cast<std::int64_t>(common.right) - common.left + 1) *
                                (static_cast<std::int64_t>(common.bottom) - common.top + 1);
      if (largest < 0 || area > bestArea) largest = static_cast<int>(i), bestArea = area;
      continue;
    }
    const std::int64_t d = Squared(SpanGap(of.left, of.right, r.left, r.right)) +
                           Squared(SpanGap(of.top, of.bottom, r.top, r.bottom));
    if (nearest < 0 || d < bestDistance) nearest = static_cast<int>(i), bestDistance = d;
  }
  return largest >= 0 ? largest : nearest;
}

bool TMultiMonitorCenter::GetDesktopMonitorRectForPoint(POINT point, RECT& rect) const {
  SharedSrwLock lock(devicesLock_);
  const int i = DesktopMonitorForPoint(point);
  rect = i < 0 ? RECT{} : FDisplayDeviceObjects[static_cast<std::size_t>(i)].FMonitorVirtualRect;
  return i >= 0;
}

bool TMultiMonitorCenter::GetDesktopMonitorWorkRectForPoint(POINT point, RECT& rect) const {
  SharedSrwLock lock(devicesLock_);
  const int i = DesktopMonitorForPoint(point);
  rect = i < 0 ? RECT{} : FDisplayDeviceObjects[static_cast<std::size_t>(i)].FMonitorVirtualWorkRect;
  return i >= 0;
}

bool TMultiMonitorCenter::GetDesktopMonitorRectForRect(const RECT& of, RECT& rect) const {
  SharedSrwLock lock(devicesLock_);
  const int i = DesktopMonitorForRect(of);
  rect = i < 0 ? RECT{} : FDisplayDeviceObjects[static_cast<std::size_t>(i)].FMonitorVirtualRect;
  return i >= 0;
}

bool TMultiMonitorCenter::GetDesktopMonitorWorkRectForRect(const RECT& of, RECT& rect) const {
  SharedSrwLock lock(devicesLock_);
  const int i = DesktopMonitorForRect(of);
  rect = i < 0 ? RECT{} : FDisplayDeviceObjects[static_cast<std::size_t>(i)].FMonitorVirtualWorkRect;
  return i >= 0;
}

bool TMultiMonitorCenter::GetDesktopMonitorRectForWindow(HWND wnd, RECT& rect) const {
  RECT window{};
  if (!::GetWindowRect(wnd, &window)) {
    rect = {};
    return false;
  }
  return GetDesktopMonitorRectForRect(window, rect);
}

bool TMultiMonitorCenter::GetDesktopMonitorWorkRectForWindow(HWND wnd, RECT& rect) const {
  RECT window{};
  if (!::GetWindowRect(wnd, &window)) {
    rect = {};
    return false;
  }
  return GetDesktopMonitorWorkRectForRect(window, rect);
}

std::vector<RECT> TMultiMonitorCenter::GetDesktopMonitorsRects() const {
  SharedSrwLock lock(devicesLock_);
  std::vector<RECT> out;
  for (const auto& o : FDisplayDeviceObjects)
    if (o.IsDesktopMonitor()) out.push_back(o.FMonitorVirtualRect);
  return out;
}

std::vector<RECT> TMultiMonitorCenter::GetDesktopMonitorsWorkRects() const {
  SharedSrwLock lock(devicesLock_);
  std::vector<RECT> out;
  for (const auto& o : FDisplayDeviceObjects)
    if (o.IsDesktopMonitor()) out.push_back(o.FMonitorVirtualWorkRect);
  return out;
}

std::vector<RECT> TMultiMonitorCenter::GetDesktopMonitorsPhysicalRects() const {
  SharedSrwLock lock(devicesLock_);
  std::vector<RECT> out;
  for (const auto& o : FDisplayDeviceObjects)
    if (o.IsDesktopMonitor()) out.push_back(o.FMonitorRealRect);
  return out;
}

std::vector<RECT> TMultiMonitorCenter::GetMonitorRects(bool filterClones, int cloneFilteringMode) const {
  SharedSrwLock lock(devicesLock_);
  std::vector<RECT> out;
  for (const auto& o : FDisplayDeviceObjects) {
    if (filterClones && o.FCloneSlave && cloneFilteringMode == 1) continue;
    if (filterClones && o.FCloneSlave && cloneFilteringMode == 0) {
      out.push_back(RECT{});
      continue;
    }
    out.push_back(o.FMonitorVirtualRect);
  }
  return out;
}

int TMultiMonitorCenter::GetDeviceIndexFromHMonitor(HMONITOR monitor) const {
  SharedSrwLock lock(devicesLock_);
  return FirstAttachedWith(monitor);
}

HMONITOR TMultiMonitorCenter::GetHMonitorFromDeviceIndex(int index) const {
  SharedSrwLock lock(devicesLock_);
  if (index < 0 || static_cast<std::size_t>(index) >= FDisplayDeviceObjects.size()) return nullptr;
  return FDisplayDeviceObjects[static_cast<std::size_t>(index)].FMonitorHandle;
}

HMONITOR TMultiMonitorCenter::GetMonitorFromPhysicalPoint(POINT point) const {
  SharedSrwLock lock(devicesLock_);
  for (const auto& o : FDisplayDeviceObjects)
    if (o.FAttached && Contains(o.FMonitorRealRect, point)) return o.FMonitorHandle;
  return nullptr;
}

void TMultiMonitorCenter::MapPoints(HMONITOR monitor, POINT* points, int count, bool toLogical) const {
  if (!points || count <= 0) return;
  SharedSrwLock lock(devicesLock_);
  const int i = FirstAttachedWith(monitor);
  if (i < 0) return;
  const TDisplayDeviceObject& o = FDisplayDeviceObjects[static_cast<std::size_t>(i)];
  // A record with an empty rectangle gives no scale: its points stay as they are.
  if (!o.FNeedScaling || o.FRealSize <= 0 || o.FVirtualSize <= 0) return;
  const RECT& from = toLogical ? o.FMonitorRealRect : o.FMonitorVirtualRect;
  const RECT& to = toLogical ? o.FMonitorVirtualRect : o.FMonitorRealRect;
  const std::int64_t num = toLogical ? o.FVirtualSize : o.FRealSize;
  const std::int64_t den = toLogical ? o.FRealSize : o.FVirtualSize;
  for (int k = 0; k < count; ++k) {
    points[k].x = ScaleRounded(static_cast<std::int64_t>(points[k].x) - from.left, num, den) + to.left;
    points[k].y = ScaleRounded(static_cast<std::int64_t>(points[k].y) - from.top, num, den) + to.top;
  }
}

void TMultiMonitorCenter::MapPhysicalToLogicalPoints(HMONITOR monitor, POINT* points, int count) const {
  MapPoints(monitor, points, count, true);
}

void TMultiMonitorCenter::MapLogicalToPhysicalPoints(HMONITOR monitor, POINT* points, int count) const {
  MapPoints(monitor, points, count, false);
}

}  // namespace dl::link
