#pragma once
// The process's multi-monitor center as the rest of the library sees it: who hears of
// monitor changes, and what can be asked of the center.
#include <windows.h>

#include <vector>

#include "library/model/interfaces.h"

namespace dl::link {

enum class TMMCenterUpdateType { mmcutAllInfo = 0, mmcutMonitorsOnly = 1 };

struct IMMCenterSubscriber : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{6D3E8B20-4A71-4F9C-B5E2-09C7D1A8F364}");
  virtual void OnMMCenterUpdate(TMMCenterUpdateType reason) = 0;
};

using SubscriberList = std::vector<model::RefPtr<IMMCenterSubscriber>>;

// Rectangles answered for "none" are empty (all zero).
struct IMultiMonitorCenterClient : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{2B7F4C93-0E5A-4D16-8A3B-C41D9E6F7205}");
  virtual void Update() = 0;
  virtual void UpdateMonitors() = 0;
  virtual void Subscribe(IMMCenterSubscriber* subscriber) = 0;
  virtual void Unsubscribe(IMMCenterSubscriber* subscriber) = 0;
  virtual void NotifySubscribers(TMMCenterUpdateType reason) = 0;
  [[nodiscard]] virtual SubscriberList GetSubscribers() const = 0;
  virtual void TakeOverSubscribers(const SubscriberList& subscribers) = 0;
  [[nodiscard]] virtual int GetDesktopMonitorCount() const = 0;
  [[nodiscard]] virtual std::vector<HMONITOR> GetDesktopMonitors() const = 0;
  [[nodiscard]] virtual bool IsPrimaryMonitor(HMONITOR monitor) const = 0;
  virtual bool GetDesktopMonitorRect(HMONITOR monitor, RECT& rect) const = 0;
  virtual bool GetDesktopMonitorRectForPoint(POINT point, RECT& rect) const = 0;
  virtual bool GetDesktopMonitorRectForRect(const RECT& of, RECT& rect) const = 0;
  virtual bool GetDesktopMonitorRectForWindow(HWND wnd, RECT& rect) const = 0;
  virtual bool GetDesktopMonitorWorkRect(HMONITOR monitor, RECT& rect) const = 0;
  virtual bool GetDesktopMonitorWorkRectForPoint(POINT point, RECT& rect) const = 0;
  virtual bool GetDesktopMonitorWorkRectForRect(const RECT& of, RECT& rect) const = 0;
  virtual bool GetDesktopMonitorWorkRectForWindow(HWND wnd, RECT& rect) const = 0;
  [[nodiscard]] virtual std::vector<RECT> GetDesktopMonitorsRects() const = 0;
  [[nodiscard]] virtual std::vector<RECT> GetDesktopMonitorsWorkRects() const = 0;
  // One entry per device. With filterClones, clone slaves are left out (mode 1) or listed
  // with an empty rectangle (mode 0); other modes list them as they are.
  [[nodiscard]] virtual std::vector<RECT> GetMonitorRects(bool filterClones, int cloneFilteringMode) const = 0;
  [[nodiscard]] virtual std::vector<RECT> GetDesktopMonitorsPhysicalRects() const = 0;
  [[nodiscard]] virtual int GetDeviceIndexFromHMonitor(HMONITOR monitor) const = 0;
  [[nodiscard]] virtual HMONITOR GetHMonitorFromDeviceIndex(int index) const = 0;
  [[nodiscard]] virtual int GetDeviceCount() const = 0;
  virtual void MapPhysicalToLogicalPoints(HMONITOR monitor, POINT* points, int count) const = 0;
  virtual void MapLogicalToPhysicalPoints(HMONITOR monitor, POINT* points, int count) const = 0;
  [[nodiscard]] virtual HMONITOR GetMonitorFromPhysicalPoint(POINT point) const = 0;
};

}  // namespace dl::link
