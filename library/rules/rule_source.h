#pragma once
// What the dispatcher needs of the shared blocks the main program publishes: the service
// block (settings, the current rule block's id) and a rule block (rule lookup for a window,
// the caption-button skin). The readers of those blocks live elsewhere; the dispatcher
// only holds the objects these factories hand out.
#include <windows.h>

#include "library/model/window_rule_info.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dl::rules {

// The rule types are the matcher's own, so that the two can never disagree on a number.
using RuleType = model::TRuleType;

// The rule information of a window; the empty value is "no rule".
struct RuleInfo {
  std::string Name;  // ANSI
  RuleType Type = RuleType::rtNone;
  std::uint32_t ParamsCRC = 0;
  bool Enabled = false;
  std::string SpecialIcons;  // ANSI
};

// What rules are matched against, and what the registration notice reports.
struct WindowDescription {
  HWND Wnd = nullptr;
  std::wstring FileName;
  std::wstring WindowClass;
  std::string WindowCaption;  // ANSI, at most 100 characters
};

struct RuleLookup {
  std::wstring Params;  // the parameter string, empty when no rule gives one
  RuleInfo Info;
};

class IRuleBlock {
 public:
  virtual ~IRuleBlock() = default;
  [[nodiscard]] virtual RuleLookup FindRule(const WindowDescription& window) const = 0;
  [[nodiscard]] virtual std::string Skin() const = 0;
};

struct ServiceSettings {
  std::wstring RegexFolder;
  bool EventLogEnabled = false;
  std::uint32_t ServerDpi = 96;
  std::uint32_t RuleBlockId = 0;
};

class IServiceBlock {
 public:
  virtual ~IServiceBlock() = default;
  // The block's current contents (the main program rewrites them in place).
  [[nodiscard]] virtual ServiceSettings Read() const = 0;
};

// Opening the blocks by name; nullptr where the block does not exist or is not valid
// (a rule block whose size field is 0 counts as none).
struct BlockSources {
  std::function<std::unique_ptr<IServiceBlock>()> openServiceBlock;
  std::function<std::unique_ptr<IRuleBlock>(std::uint32_t id)> openRuleBlock;
};

}  // namespace dl::rules
