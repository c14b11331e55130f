#pragma once
// Publishes the monitor block the way the main program does: one record per display
// monitor the stand-in sees, in physical pixels. The mapping is made once with room for
// kMaxDevices records and rewritten in place when the monitors change.
#include <windows.h>

#include <functional>
#include <vector>

#include "platform/handles.h"
#include "protocol/monitor_block.h"

namespace dl::devcenter {

using DisplayDevices = std::vector<protocol::monitor_block::DisplayDevice>;

// The display monitors as the system reports them, per-monitor aware (physical pixels)
// where the system allows it: device name, monitor rectangle, attached.
[[nodiscard]] DisplayDevices SeeDisplayDevices();

class MonitorBlockPublisher {
 public:
  static constexpr std::size_t kMaxDevices = 32;

  // Creates the block (no devices yet). Throws std::runtime_error when it cannot be made.
  explicit MonitorBlockPublisher(const wchar_t* mappingName = protocol::monitor_block::kMappingName);

  // Writes the devices (at most kMaxDevices of them). The count goes to 0 first and to its
  // value last, so a reader sees either no devices, which keeps its state, or all of them.
  void Publish(const DisplayDevices& devices);
  [[nodiscard]] const DisplayDevices& Published() const noexcept { return published_; }

 private:
  platform::UniqueHandle mapping_;
  platform::UniqueView view_;
  DisplayDevices published_;
};

// Publishes what it sees at start and again whenever that changes.
class MonitorWatcher {
 public:
  using Seer = std::function<DisplayDevices()>;
  MonitorWatcher(MonitorBlockPublisher& publisher, Seer seer = &SeeDisplayDevices);
  // Publishes now.
  void PublishNow();
  // Publishes again when the devices differ from the published ones; true when it did.
  bool CheckForChange();

 private:
  MonitorBlockPublisher& publisher_;
  Seer seer_;
};

}  // namespace dl::devcenter
