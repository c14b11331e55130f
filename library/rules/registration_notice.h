#pragma once
// The notice that tells the main program about a registered window (command 1) or a
// window whose rule changed with its caption (command 15): window handle, executable,
// class, caption, rule name and rule type, in the link's field encoding.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "library/rules/rule_source.h"

namespace dl::rules {

inline constexpr int kNoticeRegistered = 1;
inline constexpr int kNoticeCaptionRuleChanged = 15;

[[nodiscard]] std::string BuildRegistrationNotice(const WindowDescription& window, const RuleInfo& rule);

// What a notice holds, read back (the stand-in's log and tests). Nothing for data that is
// not a complete notice.
struct RegistrationNotice {
  std::uint32_t Wnd = 0;
  std::string FileName, WindowClass, WindowCaption, RuleName;
  std::int32_t RuleType = 0;
};
[[nodiscard]] std::optional<RegistrationNotice> ReadRegistrationNotice(std::string_view data);

}  // namespace dl::rules
