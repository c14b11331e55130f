#pragma once
// Builds rule blocks in the layout of rule_block_layout.h, for the stand-in main
// program and for tests. Records are written parent first, each followed by its
// strings; the top-level chain ends with a record of type 0.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "protocol/rule_block_layout.h"

namespace dl::protocol::rule_block {

struct CriterionSpec {
  RecordType type = kClassCriterion;  // caption, file name or window class
  std::optional<std::string> pattern;  // ANSI; nothing writes offset 0
  std::int32_t captionMode = kSubstring;
};

struct RuleSpec {
  RecordType type = kSpecificRule;  // specific, default or exclusion
  std::optional<std::string> name;
  std::optional<std::string> params;
  std::uint32_t checksum = 0;
  std::optional<std::string> specialIcons;
  std::vector<CriterionSpec> criteria;
};

struct GroupSpec {
  std::optional<std::string> skin;
  std::optional<std::string> commonParams;
  std::vector<RuleSpec> rules;
};

struct TabbedExplorerSpec {
  bool enabled = true;
  std::optional<std::u16string> path;
};

using TopLevelSpec = std::variant<GroupSpec, TabbedExplorerSpec>;

// The whole block, its size field included.
[[nodiscard]] std::vector<std::uint8_t> WriteRuleBlock(const std::vector<TopLevelSpec>& records);

}  // namespace dl::protocol::rule_block
