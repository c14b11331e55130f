#pragma once
// Finding a window's rule in a rule block: the walk over groups, rules and criteria,
// the tabbed-explorer record, checksum continuation, special icons and the default
// rule's enabled test; and the block's caption-button skin. Platform-free: what needs
// the system (regular expressions, the shell's wildcard matcher) comes through
// IRuleMatchingSystem.
#include <string>
#include <string_view>

#include "library/model/window_rule_info.h"
#include "protocol/rule_block_reader.h"

namespace dl::model {

class IRuleMatchingSystem {
 public:
  virtual ~IRuleMatchingSystem() = default;
  // The caption matches the pattern as a regular expression; false on any failure and
  // whenever the regular-expression library is not ready. `pattern` is followed by a
  // zero byte.
  [[nodiscard]] virtual bool RegexMatches(std::string_view pattern, std::string_view caption) noexcept = 0;
  // The upper-cased file name matches the pattern as a file-name wildcard pattern.
  [[nodiscard]] virtual bool WildcardMatches(std::string_view pattern, std::string_view upperFileName) noexcept = 0;
};

// The texts that criteria compare, in the ANSI code page.
struct RuleSubject {
  std::string upperFileName;
  std::string windowClass;
  std::string caption;
  bool inShellProcess = false;  // the process is "explorer.exe"
};

struct RuleMatch {
  std::string params;  // ANSI; empty when no rule gave parameters
  TRuleInfo info;
};

// Never raises: a block that lies gives the empty result.
[[nodiscard]] RuleMatch FindRule(const protocol::rule_block::RuleBlockReader& block, const RuleSubject& subject,
                                 IRuleMatchingSystem& system) noexcept;

// The skin of the first group record in the chain; empty without one or for a block
// that lies.
[[nodiscard]] std::string RuleBlockSkin(const protocol::rule_block::RuleBlockReader& block) noexcept;

// The parameter string of the built-in rule for Explorer windows with the given path.
[[nodiscard]] std::string TabbedExplorerParams(std::u16string_view path);

inline constexpr char kTabbedExplorerRuleName[] = "Tabbed Explorer";
inline constexpr char kSpecialIconsKey[] = "special_icons";

}  // namespace dl::model
