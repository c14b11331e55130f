#include "library/rules/mapped_block_sources.h"

#include "library/rules/mapping_wrapper.h"
#include "library/rules/window_rule_lookup.h"
#include "platform/text.h"

namespace dl::rules {
namespace {

class MappedServiceBlock final : public IServiceBlock {
 public:
  explicit MappedServiceBlock(model::RefPtr<TMappingWrapper> view) : view_(std::move(view)) {}
  ServiceSettings Read() const override {
    ServiceSettings settings;
    if (auto block = ReadServiceBlock(view_.Get())) {
      settings.RegexFolder.assign(block->regexFolder.begin(), block->regexFolder.end());
      settings.EventLogEnabled = block->eventLogEnabled;
      settings.ServerDpi = block->dpi;
      settings.RuleBlockId = block->ruleBlockId;
    }
    return settings;
  }

 private:
  model::RefPtr<TMappingWrapper> view_;
};

class MappedRuleBlock final : public IRuleBlock {
 public:
  explicit MappedRuleBlock(model::RefPtr<TMappingWrapper> view) : view_(std::move(view)) {}
  RuleLookup FindRule(const WindowDescription& window) const override {
    model::TWindowInfo info;
    info.Wnd = reinterpret_cast<model::WindowHandleValue>(window.Wnd);
    info.FileName = window.FileName;
    info.WindowClass = window.WindowClass;
    info.WindowCaption = window.WindowCaption;
    WindowRule rule = FindWindowRule(info, view_.Get());
    RuleLookup out;
    out.Params = std::move(rule.params);
    out.Info.Name = rule.info.Name.value_or(std::string());
    out.Info.Type = rule.info.RuleType;
    out.Info.ParamsCRC = rule.info.ParamsCRC;
    out.Info.Enabled = rule.info.Enabled;
    out.Info.SpecialIcons = rule.info.SpecialIconStr.value_or(std::string());
    return out;
  }
  std::string Skin() const override { return platform::WideToAnsi(GetWindowRuleSkin(nullptr, view_.Get())); }

 private:
  model::RefPtr<TMappingWrapper> view_;
};

}  // namespace

BlockSources MappedBlockSources() {
  BlockSources blocks;
  blocks.openServiceBlock = []() -> std::unique_ptr<IServiceBlock> {
    model::RefPtr<TMappingWrapper> view = OpenServiceBlock();
    if (!view || !view->Valid()) return nullptr;
    return std::make_unique<MappedServiceBlock>(std::move(view));
  };
  blocks.openRuleBlock = [](std::uint32_t id) -> std::unique_ptr<IRuleBlock> {
    model::RefPtr<TMappingWrapper> view = OpenRuleBlock(id);
    if (!view || !view->Valid()) return nullptr;  // a size field of 0 opens nothing
    return std::make_unique<MappedRuleBlock>(std::move(view));
  };
  return blocks;
}

}  // namespace dl::rules
