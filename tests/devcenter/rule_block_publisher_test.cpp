#include "tools/devcenter/rule_block_publisher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "library/rules/mapping_wrapper.h"
#include "library/rules/window_rule_lookup.h"
#include "library/model/rule_matching.h"
#include "protocol/rule_block_reader.h"
#include "protocol/service_block.h"
#include "tools/devcenter/recorder.h"
#include "tools/devcenter/rules_watcher.h"

namespace {
namespace rb = dl::protocol::rule_block;
using dl::devcenter::ParseRulesFile;
using dl::devcenter::RuleBlockPublisher;

dl::protocol::service_block::ServiceBlock ServiceBlockNow() {
  const auto wrapper = dl::rules::OpenServiceBlock();
  const auto read = dl::rules::ReadServiceBlock(wrapper.Get());
  return read ? *read : dl::protocol::service_block::ServiceBlock{u"<none>", false, 0, 0};
}

std::string SkinOf(std::uint32_t id) {
  const dl::rules::TMappingWrapper block(id);
  return dl::model::RuleBlockSkin(rb::RuleBlockReader(block.ViewBase(), block.ViewSize()));
}

const char* Rules(const char* skin) {
  static std::string text;
  text = std::string(R"({"regex_folder": "C:\\re", "event_log": true, "dpi": 144, "records": [{"group": {"skin": ")") +
         skin + R"("}}]})";
  return text.c_str();
}

TEST(RuleBlockPublisher, PublishesServiceBlockAndANewRuleBlockIdPerChange) {
  RuleBlockPublisher publisher;
  EXPECT_EQ(ServiceBlockNow().ruleBlockId, 0u);

  const std::uint32_t first = publisher.Publish(ParseRulesFile(Rules("One"), L"r.json"));
  auto service = ServiceBlockNow();
  EXPECT_EQ(service.ruleBlockId, first);
  EXPECT_EQ(service.regexFolder, u"C:\\re");
  EXPECT_TRUE(service.eventLogEnabled);
  EXPECT_EQ(service.dpi, 144u);
  EXPECT_EQ(SkinOf(first), "One");

  const std::uint32_t second = publisher.Publish(ParseRulesFile(Rules("Two"), L"r.json"));
  EXPECT_NE(second, first);
  EXPECT_EQ(ServiceBlockNow().ruleBlockId, second);
  EXPECT_EQ(SkinOf(second), "Two");
  EXPECT_EQ(SkinOf(first), "One");  // the previous block stays until the next change

  (void)publisher.Publish(ParseRulesFile(Rules("Three"), L"r.json"));
  EXPECT_FALSE(dl::rules::TMappingWrapper(first).Valid());
}

TEST(RulesWatcher, FileWithAnErrorKeepsThePreviousBlock) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"dl_rules_watch_" + std::to_wstring(::GetCurrentProcessId()) + L".json";
  const auto write = [&](const std::string& text) {
    std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc) << text;
  };
  write(Rules("Good"));
  RuleBlockPublisher publisher;
  dl::devcenter::Recorder rec(L"");
  dl::devcenter::RulesWatcher watcher(path, publisher, rec);
  ASSERT_TRUE(watcher.PublishNow());
  const std::uint32_t good = publisher.CurrentId();

  write("{\"records\": [ {\"group\": {\"skin\": 5}} ]}");
  EXPECT_FALSE(watcher.PublishNow());
  EXPECT_EQ(publisher.CurrentId(), good);
  EXPECT_EQ(ServiceBlockNow().ruleBlockId, good);
  EXPECT_EQ(SkinOf(good), "Good");

  write(Rules("Better than before"));
  watcher.CheckForChange();  // the size changed
  EXPECT_NE(publisher.CurrentId(), good);
  EXPECT_EQ(SkinOf(publisher.CurrentId()), "Better than before");
  ::DeleteFileW(path.c_str());
}

}  // namespace
