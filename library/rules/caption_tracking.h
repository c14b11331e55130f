#pragma once
// Caption tracking for rules that match on the caption: what the dispatcher remembers per
// window, and the throttle that keeps a window whose caption changes all the time (a
// clock, a progress counter) from being re-examined on every change.
#include <cstdint>
#include <string>

namespace dl::rules {

struct TWindowCaptionData {
  std::string CurrentCaption;  // ANSI, at most 100 characters
  std::int32_t ChangeCount = 0;
  std::uint32_t LastCaptionChangeCheckTime = 0;  // tick count
  std::int32_t ChangeTryCount = 0;
};

inline constexpr std::uint32_t kCaptionThrottleGapMs = 50;
inline constexpr std::int32_t kCaptionThrottleTries = 9;
// Re-evaluation by caption stops after this many distinct captions.
inline constexpr std::int32_t kCaptionChangeLimit = 4;
inline constexpr std::int32_t kCaptionChangeNever = 2147483647;

// One caption notice that is not WM_SETTEXT: true when the caption is to be read now.
// A gap of at least 50 ms (absolute tick difference) starts a new burst; within a burst
// the first ten notices pass and the rest are ignored.
[[nodiscard]] bool ThrottleCaptionCheck(TWindowCaptionData& data, std::uint32_t now) noexcept;

// A caption that was read: true when it is new and the window is to be considered again.
[[nodiscard]] bool TakeNewCaption(TWindowCaptionData& data, const std::string& caption,
                                  bool alwaysReconsider) noexcept;

}  // namespace dl::rules
