#pragma once
// The notice that tells the main program about a registered window (empty receiver,
// command 1) or a window whose rule changed with its caption (command 15): window handle,
// executable, class, caption, rule name and rule type, in the link's field encoding.
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/frame_codec.h"

namespace dl::protocol {

inline constexpr std::int32_t kNoticeRegistered = 1;
inline constexpr std::int32_t kNoticeCaptionRuleChanged = 15;

struct RegistrationNotice {
  std::uint32_t Wnd = 0;  // window handles fit in 32 bits across processes: the low half
  std::string FileName, WindowClass, WindowCaption, RuleName;  // ANSI
  std::int32_t RuleType = 0;
};

[[nodiscard]] Bytes EncodeRegistrationNotice(const RegistrationNotice& notice);
// Nothing for data that is not a complete notice.
[[nodiscard]] std::optional<RegistrationNotice> DecodeRegistrationNotice(BytesView data);

}  // namespace dl::protocol
