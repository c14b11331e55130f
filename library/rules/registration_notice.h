#pragma once
// The registration notice of a window, built from its description and rule; the layout
// itself is the contract's (protocol/registration_notice.h).
#include <optional>
#include <string>
#include <string_view>

#include "library/rules/rule_source.h"
#include "protocol/registration_notice.h"

namespace dl::rules {

inline constexpr int kNoticeRegistered = protocol::kNoticeRegistered;
inline constexpr int kNoticeCaptionRuleChanged = protocol::kNoticeCaptionRuleChanged;
using protocol::RegistrationNotice;

[[nodiscard]] std::string BuildRegistrationNotice(const WindowDescription& window, const RuleInfo& rule);
[[nodiscard]] inline std::optional<RegistrationNotice> ReadRegistrationNotice(std::string_view data) {
  return protocol::DecodeRegistrationNotice(data);
}

}  // namespace dl::rules
