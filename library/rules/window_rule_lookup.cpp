#include "library/rules/window_rule_lookup.h"

#include "library/extender/system_functions.h"
#include "library/model/system_seam.h"
#include "library/rules/regex_library.h"
#include "library/rules/window_description.h"
#include "protocol/rule_block_reader.h"

namespace dl::rules {
namespace {
protocol::rule_block::RuleBlockReader ReaderOf(const IMappingWrapper* block) noexcept {
  if (!block || !block->Valid()) return {nullptr, 0};
  return {block->ViewBase(), block->ViewSize()};
}
}  // namespace

bool SystemRuleMatching::RegexMatches(std::string_view pattern, std::string_view caption) noexcept {
  return IsRegexLibraryLoaded() && MatchesPattern(pattern, caption);
}

bool SystemRuleMatching::WildcardMatches(std::string_view pattern, std::string_view upperFileName) noexcept {
  try {
    const auto match = extender::Shlwapi().pathMatchSpecA;
    if (!match) return false;
    const std::string p(pattern), name(upperFileName);
    return match(name.c_str(), p.c_str()) != FALSE;
  } catch (...) {
    return false;
  }
}

model::RefPtr<TMappingWrapper> OpenServiceBlock() noexcept {
  try {
    return model::RefPtr<TMappingWrapper>(
        new TMappingWrapper(protocol::service_block::kMappingName, protocol::service_block::kSize));
  } catch (...) {
    return nullptr;
  }
}

model::RefPtr<TMappingWrapper> OpenRuleBlock(std::uint32_t id) noexcept {
  try {
    return model::RefPtr<TMappingWrapper>(new TMappingWrapper(id));
  } catch (...) {
    return nullptr;
  }
}

std::optional<protocol::service_block::ServiceBlock> ReadServiceBlock(const IMappingWrapper* block) noexcept {
  if (!block || !block->Valid()) return std::nullopt;
  return protocol::service_block::ReadServiceBlock(block->ViewBase(), block->ViewSize());
}

WindowRule FindWindowRule(const model::TWindowInfo& window, const IMappingWrapper* ruleBlock) noexcept {
  try {
    const auto reader = ReaderOf(ruleBlock);
    if (!reader.Valid()) return {};
    SystemRuleMatching system;
    model::RuleMatch m = model::FindRule(reader, RuleSubjectOf(window), system);
    return {model::AnsiToWide(m.params), std::move(m.info)};
  } catch (...) {
    return {};
  }
}

model::TRuleInfo GetWindowRuleInfo(HWND wnd, const IMappingWrapper* ruleBlock) noexcept {
  try {
    if (!ReaderOf(ruleBlock).Valid()) return {};
    return FindWindowRule(DescribeWindow(wnd, false), ruleBlock).info;
  } catch (...) {
    return {};
  }
}

std::wstring GetWindowRuleSkin(HWND, const IMappingWrapper* ruleBlock) noexcept {
  try {
    return model::AnsiToWide(model::RuleBlockSkin(ReaderOf(ruleBlock)));
  } catch (...) {
    return {};
  }
}

}  // namespace dl::rules
