// The library's own dispatcher in this process: its flags, and the shared blocks read
// through the mapping wrappers and the rule lookup.
#include "library/entry/messenger_binding.h"
#include "library/entry/process_gate.h"
#include "library/extender/process_flags.h"
#include "library/model/event_log.h"
#include "library/rules/regex_library.h"
#include "library/rules/rule_dispatcher.h"
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

DispatcherEnvironment ProcessDispatcherEnvironment() {
  DispatcherEnvironment env;
  const auto& flags = extender::CurrentProcessFlags();
  env.reducedHookProcess = entry::ProcessGate().reducedHook;
  env.explorerProcess = flags.shell;
  env.shellExperienceHost = flags.shellExperienceHost;
  env.blocks.openServiceBlock = []() -> std::unique_ptr<IServiceBlock> {
    model::RefPtr<TMappingWrapper> view = OpenServiceBlock();
    if (!view || !view->Valid()) return nullptr;
    return std::make_unique<MappedServiceBlock>(std::move(view));
  };
  env.blocks.openRuleBlock = [](std::uint32_t id) -> std::unique_ptr<IRuleBlock> {
    model::RefPtr<TMappingWrapper> view = OpenRuleBlock(id);
    if (!view || !view->Valid()) return nullptr;  // a size field of 0 opens nothing
    return std::make_unique<MappedRuleBlock>(std::move(view));
  };
  env.setRegexFolder = [](const std::wstring& folder) { SetRegexLibraryFolder(folder); };
  env.unloadRegex = [] { UnloadRegexLibrary(); };
  // The service block's logging switch governs the library's event log in this process.
  env.setEventLogEnabled = [](bool enabled) { model::SetEventLogEnabled(enabled); };
  env.sendToServer = [](const std::string& receiver, int code, const std::string& data) {
    entry::SendToMainProgram(platform::AnsiToWide(receiver), code, data);
  };
  return env;
}

}  // namespace dl::rules
