#include "library/rules/caption_tracking.h"

namespace dl::rules {

bool ThrottleCaptionCheck(TWindowCaptionData& data, std::uint32_t now) noexcept {
  const std::uint32_t forward = now - data.LastCaptionChangeCheckTime;
  const std::uint32_t backward = data.LastCaptionChangeCheckTime - now;
  const std::uint32_t gap = forward < backward ? forward : backward;
  if (gap >= kCaptionThrottleGapMs) {
    data.LastCaptionChangeCheckTime = now;
    data.ChangeTryCount = 0;
    return true;
  }
  if (data.ChangeTryCount > kCaptionThrottleTries) return false;
  ++data.ChangeTryCount;
  data.LastCaptionChangeCheckTime = now;
  return true;
}

bool TakeNewCaption(TWindowCaptionData& data, const std::string& caption, bool alwaysReconsider) noexcept {
  if (caption.empty() || caption == data.CurrentCaption) return false;
  try {
    data.CurrentCaption = caption;
  } catch (...) {
    return false;
  }
  if (data.ChangeCount < kCaptionChangeLimit) ++data.ChangeCount;
  return data.ChangeCount < kCaptionChangeLimit || alwaysReconsider;
}

}  // namespace dl::rules
