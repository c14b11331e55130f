#include "library/model/rule_matching.h"

#include "library/model/crc32.h"
#include "library/model/hex.h"
#include "library/model/rule_criteria.h"
#include "library/model/system_seam.h"

namespace dl::model {
namespace {
namespace rb = protocol::rule_block;
using rb::RecordPos;
using rb::RuleBlockReader;

constexpr std::string_view kEnabledPrefix = "\\Enabled=31";  // "1" hex-encoded

std::string AsciiOf(const std::wstring& hexDigits) {
  return std::string(hexDigits.begin(), hexDigits.end());
}

class RuleFinder {
 public:
  RuleFinder(const RuleBlockReader& block, const RuleSubject& subject, IRuleMatchingSystem& system)
      : block_(block), subject_(subject), system_(system) {}

  RuleMatch Run() {
    RuleMatch m;
    std::optional<RecordPos> at = block_.FirstRecord();
    while (at && m.params.empty()) {
      const std::uint32_t type = block_.Type(*at);
      if (type == rb::kEndOfChain) break;
      if (type == rb::kGroup) MatchGroup(*at, m);
      else if (type == rb::kTabbedExplorer) ApplyTabbedExplorer(*at, m);
      at = block_.Link(*at, rb::group::kNext, walk_);
    }
    return m;
  }

 private:
  void MatchGroup(RecordPos group, RuleMatch& m) {
    const std::uint32_t count = block_.Count(group, rb::group::kRuleCount);
    std::optional<RecordPos> rule = count ? block_.Link(group, rb::group::kFirstRule, walk_) : std::nullopt;
    std::string params;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!rule) throw rb::RuleBlockError("fewer rule records than counted");
      params = EvaluateRule(*rule, m.info);
      if (m.info.Name) break;
      if (i + 1 < count) rule = block_.Link(*rule, rb::rule::kNext, walk_);
    }
    m.params = std::move(params);
    if (m.params.empty()) return;
    const std::string_view common = block_.Ansi(group, rb::group::kCommonParams).value_or("");
    m.params += common;
    m.info.ParamsCRC = Crc32(common, m.info.ParamsCRC);
    if (m.info.SpecialIconStr && !m.info.SpecialIconStr->empty()) {
      m.params += '\\';
      m.params += kSpecialIconsKey;
      m.params += '=';
      m.params += *m.info.SpecialIconStr;
    }
  }

  std::string EvaluateRule(RecordPos rule, TRuleInfo& info) {
    const std::uint32_t count = block_.Count(rule, rb::rule::kCriterionCount);
    if (count == 0) {
      if (block_.Type(rule) != rb::kDefaultRule) return {};
    } else {
      std::optional<RecordPos> criterion = block_.Link(rule, rb::rule::kFirstCriterion, walk_);
      for (std::uint32_t i = 0; i < count; ++i) {
        if (!criterion) throw rb::RuleBlockError("fewer criterion records than counted");
        if (!CriterionMatches(*criterion)) return {};
        if (i + 1 < count) criterion = block_.Link(*criterion, rb::criterion::kNext, walk_);
      }
    }
    const std::uint32_t type = block_.Type(rule);
    std::string params(block_.Ansi(rule, rb::rule::kParams).value_or(""));
    const auto name = block_.Ansi(rule, rb::rule::kName);
    const auto icons = block_.Ansi(rule, rb::rule::kSpecialIcons);
    info.Name = name ? std::optional<std::string>(*name) : std::nullopt;
    info.SpecialIconStr = icons ? std::optional<std::string>(*icons) : std::nullopt;
    info.ParamsCRC ^= block_.U32(rule, rb::rule::kChecksum);
    info.Enabled = true;
    switch (type) {
      case rb::kSpecificRule: info.RuleType = TRuleType::rtSpecific; break;
      case rb::kExclusionRule: info.RuleType = TRuleType::rtExclusion; break;
      case rb::kDefaultRule:
        info.RuleType = TRuleType::rtDefault;
        info.Enabled = params.starts_with(kEnabledPrefix);
        break;
      default: break;  // another type keeps what an earlier rule set
    }
    return params;
  }

  bool CriterionMatches(RecordPos criterion) {
    const std::uint32_t type = block_.Type(criterion);
    const std::string_view pattern = block_.Ansi(criterion, rb::criterion::kPattern).value_or("");
    if (pattern.empty()) return false;
    switch (type) {
      case rb::kCaptionCriterion:
        switch (block_.I32(criterion, rb::criterion::kCaptionMode)) {
          case rb::kRegularExpression: return system_.RegexMatches(pattern, subject_.caption);
          case rb::kExact: return subject_.caption == pattern;
          case rb::kSubstring: return subject_.caption.find(pattern) != std::string::npos;
          default: return false;
        }
      case rb::kFileNameCriterion:
        return subject_.upperFileName.find(pattern) != std::string::npos ||
               system_.WildcardMatches(pattern, subject_.upperFileName);
      case rb::kClassCriterion: return ClassCriterionMatches(pattern, subject_.windowClass);
      default: return false;
    }
  }

  void ApplyTabbedExplorer(RecordPos record, RuleMatch& m) {
    if (!subject_.inShellProcess || block_.U32(record, rb::tabbed_explorer::kEnabled) == 0) return;
    if (subject_.windowClass != "CabinetWClass" && subject_.windowClass != "ExploreWClass") return;
    m.params = TabbedExplorerParams(block_.Utf16(record, rb::tabbed_explorer::kPath).value_or(u""));
    m.info.Name = kTabbedExplorerRuleName;
    m.info.ParamsCRC = Crc32(m.params, m.info.ParamsCRC);
    m.info.RuleType = TRuleType::rtTabbedExplorer;
    m.info.Enabled = true;
  }

  const RuleBlockReader& block_;
  const RuleSubject& subject_;
  IRuleMatchingSystem& system_;
  rb::WalkBudget walk_ = block_.NewWalk();
};

}  // namespace

std::string TabbedExplorerParams(std::u16string_view path) {
  const std::wstring widePath(path.begin(), path.end());
  std::string p = "\\window_rule_name=" + AsciiOf(StringToHex(L"Tabbed Explorer"));
  p += "\\action=TABBEDEXPLORERACTION{\\name=TabbedExplorer\\path=" + AsciiOf(WideToHex(widePath)) + "}";
  p += "\\action=BLOCKVISIBILITYACTION{\\name=BlockVisibility\\blocking=-1}";
  p += "\\action=RECENTFOLDERSACTION{\\name=RecentFolders}";
  return p;
}

RuleMatch FindRule(const RuleBlockReader& block, const RuleSubject& subject, IRuleMatchingSystem& system) noexcept {
  if (!block.Valid()) return {};
  try {
    return RuleFinder(block, subject, system).Run();
  } catch (...) {
    // A block that lies, or no memory: no rule.
    return {};
  }
}

std::string RuleBlockSkin(const RuleBlockReader& block) noexcept {
  if (!block.Valid()) return {};
  try {
    rb::WalkBudget walk = block.NewWalk();
    std::optional<RecordPos> at = block.FirstRecord();
    while (at) {
      const std::uint32_t type = block.Type(*at);
      if (type == rb::kEndOfChain) break;
      if (type == rb::kGroup) return std::string(block.Ansi(*at, rb::group::kSkin).value_or(""));
      at = block.Link(*at, rb::group::kNext, walk);
    }
  } catch (...) {
  }
  return {};
}

}  // namespace dl::model
