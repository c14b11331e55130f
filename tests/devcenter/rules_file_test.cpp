#include "tools/devcenter/rules_file.h"

#include <gtest/gtest.h>

#include "library/model/crc32.h"
#include "library/model/rule_criteria.h"
#include "library/model/rule_matching.h"
#include "protocol/rule_block_reader.h"

namespace {
namespace rb = dl::protocol::rule_block;
using dl::devcenter::ParseRulesFile;
using dl::devcenter::RulesFileError;

class PortableSystem : public dl::model::IRuleMatchingSystem {
 public:
  bool RegexMatches(std::string_view, std::string_view) noexcept override { return false; }
  bool WildcardMatches(std::string_view p, std::string_view n) noexcept override {
    return dl::model::WildcardSpecMatches(p, n);
  }
};

const char* kExample = R"({
  "regex_folder": "C:\\tools",
  "event_log": true,
  "dpi": 120,
  "records": [
    {"tabbed_explorer": {"enabled": true, "path": "C:\\Users"}},
    {"group": {
      "skin": "Glass",
      "common_params": [["menu_on_left_click_delay", "250"]],
      "rules": [
        {"type": "specific", "name": "Notepad",
         "params": [["window_rule_name", {"text": "Notepad"}], ["Enabled", "-1"]],
         "special_icons": "7",
         "criteria": [{"class": "Notepad"}, {"file": "*\\NOTEPAD.EXE"}, {"caption": "Notepad", "mode": "substring"},
                      {"caption": "^x$", "mode": "regex"}]},
        {"type": "exclusion", "name": "Keep out", "params": "\\x=1", "checksum": 99,
         "criteria": [{"caption": "Secret", "mode": "exact"}]},
        {"type": "default", "name": "DefaultWindowRule", "params": "\\Enabled=31"}
      ]}}
  ]
})";

TEST(RulesFile, ExampleBecomesTheRecordsItDescribes) {
  const auto rules = ParseRulesFile(kExample, L"rules.json");
  EXPECT_EQ(rules.regexFolder, L"C:\\tools");
  EXPECT_TRUE(rules.eventLog);
  EXPECT_EQ(rules.dpi, 120u);
  ASSERT_EQ(rules.records.size(), 2u);
  const auto& tabbed = std::get<rb::TabbedExplorerSpec>(rules.records[0]);
  EXPECT_TRUE(tabbed.enabled);
  EXPECT_EQ(tabbed.path, u"C:\\Users");
  const auto& group = std::get<rb::GroupSpec>(rules.records[1]);
  EXPECT_EQ(group.skin, "Glass");
  EXPECT_EQ(group.commonParams, "\\menu_on_left_click_delay=250");
  ASSERT_EQ(group.rules.size(), 3u);
  const auto& notepad = group.rules[0];
  EXPECT_EQ(notepad.type, rb::kSpecificRule);
  EXPECT_EQ(notepad.params, "\\window_rule_name=4E6F7465706164\\Enabled=-1");
  EXPECT_EQ(notepad.checksum, dl::model::Crc32(*notepad.params));
  EXPECT_EQ(notepad.specialIcons, "7");
  ASSERT_EQ(notepad.criteria.size(), 4u);
  EXPECT_EQ(notepad.criteria[0].type, rb::kClassCriterion);
  EXPECT_EQ(notepad.criteria[1].type, rb::kFileNameCriterion);
  EXPECT_EQ(notepad.criteria[2].captionMode, rb::kSubstring);
  EXPECT_EQ(notepad.criteria[3].captionMode, rb::kRegularExpression);
  EXPECT_EQ(group.rules[1].type, rb::kExclusionRule);
  EXPECT_EQ(group.rules[1].checksum, 99u);
  EXPECT_EQ(group.rules[1].criteria[0].captionMode, rb::kExact);
  EXPECT_EQ(group.rules[2].type, rb::kDefaultRule);
}

// The stand-in's blocks, read back by the library's reader and matcher.
TEST(RulesFile, BlockBuiltFromTheFileIsFoundByTheMatcher) {
  const auto rules = ParseRulesFile(kExample, L"rules.json");
  const auto bytes = rb::WriteRuleBlock(rules.records);
  const rb::RuleBlockReader reader(bytes.data(), bytes.size());
  PortableSystem system;
  const auto other = dl::model::FindRule(reader, {"C:\\WINDOWS\\WORDPAD.EXE", "WordPadClass", "Doc", false}, system);
  EXPECT_EQ(other.info.Name, "DefaultWindowRule");
  EXPECT_EQ(other.params, "\\Enabled=31\\menu_on_left_click_delay=250");
  const auto explorer =
      dl::model::FindRule(reader, {"C:\\WINDOWS\\EXPLORER.EXE", "CabinetWClass", "Users", true}, system);
  EXPECT_EQ(explorer.info.RuleType, dl::model::TRuleType::rtTabbedExplorer);
  EXPECT_EQ(dl::model::RuleBlockSkin(reader), "Glass");
}

TEST(RulesFile, ErrorsNameTheLineAndWhatIsWrong) {
  struct Case {
    const char* text;
    std::size_t line;
    const char* what;
  };
  const Case cases[] = {
      {"{\n\"records\": [\n  {\"group\": {\"rules\": [\n    {\"type\": \"special\", \"name\": \"x\"}]}}]}", 4,
       "rule type \"special\""},
      {"{\n\"records\": [\n  {\"group\": {\"rules\": [\n    {\"type\": \"specific\", \"name\": \"x\",\n"
       "     \"criteria\": [\n       {\"class\": \"A\", \"file\": \"B\"}]}]}}]}",
       6, "exactly one of \"class\", \"file\", \"caption\""},
      {"{\n\"records\": [\n  {\"group\": {\n    \"skinn\": \"x\"}}]}", 4, "unknown key \"skinn\""},
      {"{\n\"records\": [\n  {\"group\": {}},\n  {\"tabbed_explorer\": {\"enabled\": 1}}]}", 4,
       "\"enabled\" must be true or false"},
      {"{\n\"records\": [\n  {\"group\": {\"rules\": [\n    {\"type\": \"specific\", \"name\": \"x\",\n"
       "     \"criteria\": [{\"caption\": \"A\", \"mode\": \"glob\"}]}]}}]}",
       5, "caption mode \"glob\""},
      {"{\n\"records\": [\n  {\"group\": {\"rules\": [\n    {\"type\": \"specific\", \"name\": \"x\"}]}}]}", 4,
       "without criteria never matches"},
      {"{\n\"dpi\": -5,\n\"records\": []}", 2, "\"dpi\" must be a number"},
      {"{\n\"records\": [\n  {\"group\": {}}\n  {\"group\": {}}]}", 4, "parse error"},  // missing comma
      {"{\n\"records\": [", 2, "parse error"},
      {"[]", 1, "one JSON object"},
      {"{}", 1, "missing \"records\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      (void)ParseRulesFile(c.text, L"bad.json");
      ADD_FAILURE() << "accepted";
    } catch (const RulesFileError& e) {
      EXPECT_EQ(e.Line(), c.line) << e.what();
      EXPECT_NE(e.What().find(c.what), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("bad.json:" + std::to_string(c.line) + ": ", 0), 0u) << e.what();
    }
  }
}

}  // namespace

namespace {
TEST(RulesFile, DemoExampleIsValid) {
  std::wstring path = L"Z:";
  for (const char c : std::string(DL_DEMO_RULES_FILE)) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  const auto rules = dl::devcenter::LoadRulesFile(path);
  ASSERT_EQ(rules.records.size(), 2u);
  const auto bytes = rb::WriteRuleBlock(rules.records);
  const rb::RuleBlockReader reader(bytes.data(), bytes.size());
  PortableSystem system;
  // The regex criterion cannot match here (no library): notepad falls to the default rule.
  const auto notepad =
      dl::model::FindRule(reader, {"C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE", "Notepad", "Untitled - Notepad", false}, system);
  EXPECT_EQ(notepad.info.Name, "DefaultWindowRule");
  EXPECT_FALSE(notepad.info.Enabled);
  const auto winecfg = dl::model::FindRule(reader, {"C:\\WINDOWS\\SYSTEM32\\WINECFG.EXE", "#32770", "Wine", false}, system);
  EXPECT_EQ(winecfg.info.RuleType, dl::model::TRuleType::rtExclusion);
}
}  // namespace
