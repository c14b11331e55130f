#pragma once
// The entry points of rule lookup for the rule dispatcher: the shared blocks opened
// through mapping wrappers, a window's rule, its rule information and the block's skin.
#include <windows.h>

#include <optional>
#include <string>

#include "library/model/interfaces.h"
#include "library/model/rule_matching.h"
#include "library/model/window_rule_info.h"
#include "library/rules/mapping_wrapper.h"
#include "protocol/service_block.h"

namespace dl::rules {

// Criteria that need the system: the regular-expression runtime and the shell's
// file-name wildcards.
class SystemRuleMatching final : public model::IRuleMatchingSystem {
 public:
  [[nodiscard]] bool RegexMatches(std::string_view pattern, std::string_view caption) noexcept override;
  [[nodiscard]] bool WildcardMatches(std::string_view pattern, std::string_view upperFileName) noexcept override;
};

[[nodiscard]] model::RefPtr<TMappingWrapper> OpenServiceBlock() noexcept;
[[nodiscard]] model::RefPtr<TMappingWrapper> OpenRuleBlock(std::uint32_t id) noexcept;
// The service block's contents; nothing without a valid block.
[[nodiscard]] std::optional<protocol::service_block::ServiceBlock> ReadServiceBlock(const IMappingWrapper* block) noexcept;

struct WindowRule {
  std::wstring params;  // the parameter string, empty when no rule gave one
  model::TRuleInfo info;
};

// The rule of a described window in the rule block; the empty result without a valid
// block.
[[nodiscard]] WindowRule FindWindowRule(const model::TWindowInfo& window, const IMappingWrapper* ruleBlock) noexcept;

// Describes the window (file name not upper-cased) and finds its rule information.
[[nodiscard]] model::TRuleInfo GetWindowRuleInfo(HWND wnd, const IMappingWrapper* ruleBlock) noexcept;

// The skin of the rule block; the window is not used.
[[nodiscard]] std::wstring GetWindowRuleSkin(HWND wnd, const IMappingWrapper* ruleBlock) noexcept;

}  // namespace dl::rules
