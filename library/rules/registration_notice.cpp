#include "library/rules/registration_notice.h"

#include <cstdint>

#include "platform/text.h"

namespace dl::rules {

std::string BuildRegistrationNotice(const WindowDescription& window, const RuleInfo& rule) {
  protocol::RegistrationNotice notice;
  notice.Wnd = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window.Wnd));
  notice.FileName = platform::WideToAnsi(window.FileName);
  notice.WindowClass = platform::WideToAnsi(window.WindowClass);
  notice.WindowCaption = window.WindowCaption;
  notice.RuleName = rule.Name;
  notice.RuleType = static_cast<std::int32_t>(rule.Type);
  return protocol::EncodeRegistrationNotice(notice);
}

}  // namespace dl::rules
