#pragma once
// A rule dispatcher on real windows of this thread, with rule blocks the test writes:
// rules match by a class-name substring, as window-class criteria do. Notices to the main
// program and service messages that reach the test windows are recorded.
#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "library/extender/window_extender.h"
#include "library/rules/rule_dispatcher.h"
#include "library/rules/registration_notice.h"
#include "tests/support/window_class.h"

namespace dl::rules::test {

struct TestRule {
  std::wstring classPattern;
  std::string name;
  RuleType type = RuleType::rtSpecific;
  std::uint32_t crc = 0;
  std::wstring params;
  std::string captionPattern;  // empty: any caption
};

class TestRuleBlock final : public IRuleBlock {
 public:
  explicit TestRuleBlock(std::vector<TestRule> rules, std::string skin = {})
      : rules_(std::move(rules)), skin_(std::move(skin)) {}
  RuleLookup FindRule(const WindowDescription& window) const override {
    for (const TestRule& rule : rules_) {
      if (window.WindowClass.find(rule.classPattern) == std::wstring::npos) continue;
      if (!rule.captionPattern.empty() && window.WindowCaption.find(rule.captionPattern) == std::string::npos)
        continue;
      RuleLookup found;
      found.Params = rule.params;
      found.Info = RuleInfo{rule.name, rule.type, rule.crc, true, {}};
      return found;
    }
    return {};
  }
  std::string Skin() const override { return skin_; }

 private:
  std::vector<TestRule> rules_;
  std::string skin_;
};

// The service block and rule blocks "published" by the test.
struct TestBlocks {
  bool serviceExists = true;
  std::uint32_t currentId = 1;
  std::map<std::uint32_t, std::vector<TestRule>> blocks;  // ids that open
  int ruleBlockOpens = 0;
  int settingsReads = 0;
};

class TestServiceBlock final : public IServiceBlock {
 public:
  explicit TestServiceBlock(std::shared_ptr<TestBlocks> blocks) : blocks_(std::move(blocks)) {}
  ServiceSettings Read() const override {
    ++blocks_->settingsReads;
    ServiceSettings s;
    s.RuleBlockId = blocks_->currentId;
    return s;
  }

 private:
  std::shared_ptr<TestBlocks> blocks_;
};

struct SentNotice {
  std::string receiver;
  int code;
  RegistrationNotice notice;
};

inline DispatcherEnvironment TestEnvironment(const std::shared_ptr<TestBlocks>& blocks,
                                             const std::shared_ptr<std::vector<SentNotice>>& notices) {
  DispatcherEnvironment env;
  env.ownsProcessHooks = false;
  env.blocks.openServiceBlock = [blocks]() -> std::unique_ptr<IServiceBlock> {
    if (!blocks->serviceExists) return nullptr;
    return std::make_unique<TestServiceBlock>(blocks);
  };
  env.blocks.openRuleBlock = [blocks](std::uint32_t id) -> std::unique_ptr<IRuleBlock> {
    ++blocks->ruleBlockOpens;
    auto it = blocks->blocks.find(id);
    if (it == blocks->blocks.end()) return nullptr;
    return std::make_unique<TestRuleBlock>(it->second);
  };
  env.sendToServer = [notices](const std::string& receiver, int code, const std::string& data) {
    auto read = ReadRegistrationNotice(data);
    notices->push_back({receiver, code, read.value_or(RegistrationNotice{})});
  };
  return env;
}

// Service messages that reached the test windows, in order.
struct ServiceRecord {
  HWND wnd;
  WPARAM code;
  LPARAM arg;
};
std::vector<ServiceRecord>& ServiceLog();
// Records service messages; with a dispatcher to route to, also does what the window's hook
// procedures and extender do with commands 2 and 3 (consider, unregister with the kind).
LRESULT CALLBACK RecordingWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
void RouteServiceCommandsTo(TRuleDispatcher* dispatcher);

// A top-level window of a registered test class; destroyed with the object.
class TestWindow {
 public:
  TestWindow(const wchar_t* className, const wchar_t* caption, bool visible);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  [[nodiscard]] HWND get() const { return wnd_; }
  void Destroy();

 private:
  HWND wnd_ = nullptr;
};

// The dispatcher, its blocks and what it told the main program.
class DispatcherFixture {
 public:
  explicit DispatcherFixture(std::vector<TestRule> rules, bool init = true);
  ~DispatcherFixture();
  std::shared_ptr<TestBlocks> blocks = std::make_shared<TestBlocks>();
  std::shared_ptr<std::vector<SentNotice>> notices = std::make_shared<std::vector<SentNotice>>();
  model::RefPtr<TRuleDispatcher> dispatcher;
};

}  // namespace dl::rules::test
