#pragma once
// TMultiMonitorCenter: the monitors of the desktop as the main program describes them (in
// physical pixels) joined with the monitors as this process sees them (logical pixels).
// Extenders and caption buttons ask it for monitor and work rectangles and convert points
// between the two; subscribers hear when the layout changes.
#include <windows.h>

#include <array>

#include "library/link/monitor_center_interfaces.h"
#include "library/link/monitor_sources.h"
#include "platform/handles.h"

namespace dl::link {

struct TDisplayDeviceObject {
  std::array<wchar_t, protocol::monitor_block::record::kDeviceNameUnits> FDeviceName{};
  bool FAttached = false;
  bool FCloneSlave = false;
  HMONITOR FMonitorHandle = nullptr;
  RECT FMonitorRealRect{};
  RECT FMonitorVirtualRect{};
  RECT FMonitorVirtualWorkRect{};
  bool FNeedScaling = false;
  int FRealSize = 0;
  int FVirtualSize = 0;

  [[nodiscard]] bool IsDesktopMonitor() const noexcept { return FAttached && !FCloneSlave; }
  [[nodiscard]] bool IsPrimary() const noexcept {
    return FMonitorVirtualRect.left == 0 && FMonitorVirtualRect.top == 0;
  }
};

class TMultiMonitorCenter final : public model::TInterfacedObject, public virtual IMultiMonitorCenterClient {
 public:
  explicit TMultiMonitorCenter(MonitorSources sources);

  void Update() override;
  void UpdateMonitors() override;
  void Subscribe(IMMCenterSubscriber* subscriber) override;
  void Unsubscribe(IMMCenterSubscriber* subscriber) override;
  void NotifySubscribers(TMMCenterUpdateType reason) override;
  [[nodiscard]] SubscriberList GetSubscribers() const override;
  void TakeOverSubscribers(const SubscriberList& subscribers) override;
  [[nodiscard]] int GetDesktopMonitorCount() const override;
  [[nodiscard]] std::vector<HMONITOR> GetDesktopMonitors() const override;
  [[nodiscard]] bool IsPrimaryMonitor(HMONITOR monitor) const override;
  bool GetDesktopMonitorRect(HMONITOR monitor, RECT& rect) const override;
  bool GetDesktopMonitorRectForPoint(POINT point, RECT& rect) const override;
  bool GetDesktopMonitorRectForRect(const RECT& of, RECT& rect) const override;
  bool GetDesktopMonitorRectForWindow(HWND wnd, RECT& rect) const override;
  bool GetDesktopMonitorWorkRect(HMONITOR monitor, RECT& rect) const override;
  bool GetDesktopMonitorWorkRectForPoint(POINT point, RECT& rect) const override;
  bool GetDesktopMonitorWorkRectForRect(const RECT& of, RECT& rect) const override;
  bool GetDesktopMonitorWorkRectForWindow(HWND wnd, RECT& rect) const override;
  [[nodiscard]] std::vector<RECT> GetDesktopMonitorsRects() const override;
  [[nodiscard]] std::vector<RECT> GetDesktopMonitorsWorkRects() const override;
  [[nodiscard]] std::vector<RECT> GetMonitorRects(bool filterClones, int cloneFilteringMode) const override;
  [[nodiscard]] std::vector<RECT> GetDesktopMonitorsPhysicalRects() const override;
  [[nodiscard]] int GetDeviceIndexFromHMonitor(HMONITOR monitor) const override;
  [[nodiscard]] HMONITOR GetHMonitorFromDeviceIndex(int index) const override;
  [[nodiscard]] int GetDeviceCount() const override;
  void MapPhysicalToLogicalPoints(HMONITOR monitor, POINT* points, int count) const override;
  void MapLogicalToPhysicalPoints(HMONITOR monitor, POINT* points, int count) const override;
  [[nodiscard]] HMONITOR GetMonitorFromPhysicalPoint(POINT point) const override;

  // A copy of the device objects, in record order.
  [[nodiscard]] std::vector<TDisplayDeviceObject> DeviceObjects() const;

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;

 private:
  ~TMultiMonitorCenter() override = default;

  // Index of the desktop monitor chosen for a point or a rectangle, or -1.
  [[nodiscard]] int DesktopMonitorForPoint(POINT point) const;
  [[nodiscard]] int DesktopMonitorForRect(const RECT& of) const;
  [[nodiscard]] int FirstAttachedWith(HMONITOR monitor) const;
  void MapPoints(HMONITOR monitor, POINT* points, int count, bool toLogical) const;

  MonitorSources sources_;
  // Queries come from any thread; a refresh rewrites the objects, so both go through the lock.
  mutable SRWLOCK devicesLock_ = SRWLOCK_INIT;
  std::vector<TDisplayDeviceObject> FDisplayDeviceObjects;
  int FDesktopMonitorCount = 0;
  mutable platform::CriticalSection FSubscribersLock;
  SubscriberList FSubscribers;
};

// Fills the object's process-side fields from the monitor with its device name, when there
// is one, and derives the scaling base.
void MatchToProcessMonitor(TDisplayDeviceObject& object, const std::vector<ProcessMonitor>& monitors);

}  // namespace dl::link
