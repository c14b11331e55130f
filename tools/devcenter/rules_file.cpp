#include "tools/devcenter/rules_file.h"

#include <windows.h>

#include <limits>
#include <map>
#include <nlohmann/json.hpp>

#include "library/model/crc32.h"
#include "library/model/hex.h"
#include "platform/handles.h"
#include "platform/text.h"

namespace dl::devcenter {
namespace {
namespace rb = protocol::rule_block;
using nlohmann::json;

// Where each object and each of its keys started, kept beside the parsed document.
constexpr const char* kLinesKey = "@lines";
constexpr const char* kOwnLineKey = "@";

std::size_t LineAt(const std::string& text, std::size_t offset) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i)
    if (text[i] == '\n') ++line;
  return line;
}

// A character iterator that tells how far the parser has read.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;
  CountingIterator(const char* p, std::size_t* read) : p_(p), read_(read) {}
  reference operator*() const { return *p_; }
  CountingIterator& operator++() {
    ++p_;
    ++*read_;
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator old = *this;
    ++*this;
    return old;
  }
  friend bool operator==(const CountingIterator& a, const CountingIterator& b) { return a.p_ == b.p_; }
  friend bool operator!=(const CountingIterator& a, const CountingIterator& b) { return a.p_ != b.p_; }

 private:
  const char* p_;
  std::size_t* read_;
};

class Reader {
 public:
  Reader(const std::string& text, const std::wstring& file) : text_(text), file_(file) {}

  json Parse() {
    std::size_t read = 0;
    std::vector<std::pair<std::size_t, std::map<std::string, std::size_t>>> open;  // per object depth
    auto callback = [&](int, json::parse_event_t event, json& parsed) {
      const std::size_t line = LineAt(text_, read ? read - 1 : 0);
      switch (event) {
        case json::parse_event_t::object_start: open.push_back({line, {}}); break;
        case json::parse_event_t::key:
          if (!open.empty()) open.back().second[parsed.get<std::string>()] = line;
          break;
        case json::parse_event_t::object_end:
          if (!open.empty()) {
            json lines = json::object();
            for (const auto& [key, at] : open.back().second) lines[key] = at;
            lines[kOwnLineKey] = open.back().first;
            parsed[kLinesKey] = std::move(lines);
            open.pop_back();
          }
          break;
        default: break;
      }
      return true;
    };
    try {
      return json::parse(CountingIterator(text_.data(), &read), CountingIterator(text_.data() + text_.size(), &read),
                         callback);
    } catch (const json::parse_error& e) {
      throw RulesFileError(file_, LineAt(text_, e.byte ? e.byte - 1 : 0), Clean(e.what()));
    }
  }

  RulesFile Read(const json& root) {
    Expect(root, root.is_object(), "the file must hold one JSON object");
    Keys(root, {"regex_folder", "event_log", "dpi", "records"});
    RulesFile out;
    if (root.contains("regex_folder")) out.regexFolder = platform::Utf8ToWide(String(root, "regex_folder"));
    if (root.contains("event_log")) out.eventLog = Bool(root, "event_log");
    if (root.contains("dpi")) out.dpi = Unsigned(root, "dpi");
    const json& records = Member(root, "records");
    Expect(root, "records", records.is_array(), "\"records\" must be an array");
    for (const json& record : records) {
      Expect(root, "records", record.is_object(), "each record must be an object");
      Keys(record, {"group", "tabbed_explorer"});
      if (record.contains("group") == record.contains("tabbed_explorer"))
        Fail(record, "a record holds exactly one of \"group\" and \"tabbed_explorer\"");
      if (record.contains("group")) out.records.emplace_back(Group(Object(record, "group")));
      else out.records.emplace_back(TabbedExplorer(Object(record, "tabbed_explorer")));
    }
    return out;
  }

 private:
  static std::string Clean(std::string what) {
    const std::size_t at = what.find("] ");
    return at == std::string::npos ? what : what.substr(at + 2);
  }

  std::size_t LineOf(const json& object, const std::string& key = kOwnLineKey) const {
    if (object.is_object() && object.contains(kLinesKey) && object[kLinesKey].contains(key))
      return object[kLinesKey][key].get<std::size_t>();
    if (object.is_object() && object.contains(kLinesKey)) return object[kLinesKey][kOwnLineKey].get<std::size_t>();
    return 1;
  }
  [[noreturn]] void Fail(const json& object, const std::string& what, const std::string& key = kOwnLineKey) const {
    throw RulesFileError(file_, LineOf(object, key), what);
  }
  void Expect(const json& object, bool ok, const std::string& what) const {
    if (!ok) Fail(object, what);
  }
  void Expect(const json& object, const std::string& key, bool ok, const std::string& what) const {
    if (!ok) Fail(object, what, key);
  }
  void Keys(const json& object, std::initializer_list<const char*> allowed) const {
    for (const auto& [key, value] : object.items()) {
      if (key == kLinesKey) continue;
      bool known = false;
      for (const char* a : allowed) known = known || key == a;
      if (!known) Fail(object, "unknown key \"" + key + "\"", key);
    }
  }
  const json& Member(const json& object, const char* key) const {
    if (!object.contains(key)) Fail(object, std::string("missing \"") + key + "\"");
    return object[key];
  }
  const json& Object(const json& object, const char* key) const {
    const json& v = Member(object, key);
    Expect(object, key, v.is_object(), std::string("\"") + key + "\" must be an object");
    return v;
  }
  std::string String(const json& object, const char* key) const {
    const json& v = Member(object, key);
    Expect(object, key, v.is_string(), std::string("\"") + key + "\" must be a string");
    return v.get<std::string>();
  }
  // JSON text is UTF-8; the block holds the system's ANSI code page.
  std::string Ansi(const json& object, const char* key) const {
    return platform::WideToAnsi(platform::Utf8ToWide(String(object, key)));
  }
  std::optional<std::string> OptionalAnsi(const json& object, const char* key) const {
    if (!object.contains(key)) return std::nullopt;
    return Ansi(object, key);
  }
  bool Bool(const json& object, const char* key) const {
    const json& v = Member(object, key);
    Expect(object, key, v.is_boolean(), std::string("\"") + key + "\" must be true or false");
    return v.get<bool>();
  }
  std::uint32_t Unsigned(const json& object, const char* key) const {
    const json& v = Member(object, key);
    Expect(object, key, v.is_number_unsigned() && v.get<std::uint64_t>() <= std::numeric_limits<std::uint32_t>::max(),
           std::string("\"") + key + "\" must be a number from 0 to 4294967295");
    return static_cast<std::uint32_t>(v.get<std::uint64_t>());
  }

  // A parameter string as text, or as [name, value] pairs whose value is text as it
  // stands or {"text": ...}, which travels hex-encoded.
  std::string Params(const json& object, const char* key) const {
    const json& v = Member(object, key);
    if (v.is_string()) return Ansi(object, key);
    Expect(object, key, v.is_array(), std::string("\"") + key + "\" must be a string or a list of [name, value] pairs");
    std::string out;
    for (const json& pair : v) {
      Expect(object, key, pair.is_array() && pair.size() == 2 && pair[0].is_string(),
             std::string("each entry of \"") + key + "\" must be a [name, value] pair");
      std::string value;
      if (pair[1].is_string()) {
        value = platform::WideToAnsi(platform::Utf8ToWide(pair[1].get<std::string>()));
      } else if (pair[1].is_object() && pair[1].contains("text") && pair[1]["text"].is_string()) {
        const std::wstring hex = model::StringToHex(platform::Utf8ToWide(pair[1]["text"].get<std::string>()));
        value.assign(hex.begin(), hex.end());
      } else {
        Fail(object, std::string("a value in \"") + key + "\" must be a string or {\"text\": \"...\"}", key);
      }
      out += "\\" + platform::WideToAnsi(platform::Utf8ToWide(pair[0].get<std::string>())) + "=" + value;
    }
    return out;
  }

  rb::GroupSpec Group(const json& g) const {
    Keys(g, {"skin", "common_params", "rules"});
    rb::GroupSpec out;
    out.skin = OptionalAnsi(g, "skin");
    if (g.contains("common_params")) out.commonParams = Params(g, "common_params");
    if (!g.contains("rules")) return out;
    const json& rules = g["rules"];
    Expect(g, "rules", rules.is_array(), "\"rules\" must be an array");
    for (const json& r : rules) {
      Expect(g, "rules", r.is_object(), "each rule must be an object");
      out.rules.push_back(Rule(r));
    }
    return out;
  }

  rb::RuleSpec Rule(const json& r) const {
    Keys(r, {"type", "name", "params", "checksum", "special_icons", "criteria"});
    rb::RuleSpec out;
    const std::string type = String(r, "type");
    if (type == "specific") out.type = rb::kSpecificRule;
    else if (type == "default") out.type = rb::kDefaultRule;
    else if (type == "exclusion") out.type = rb::kExclusionRule;
    else Fail(r, "rule type \"" + type + "\" is none of \"specific\", \"default\", \"exclusion\"", "type");
    out.name = Ansi(r, "name");
    if (out.name->empty()) Fail(r, "a rule needs a name that is not empty", "name");
    out.params = r.contains("params") ? Params(r, "params") : std::string();
    out.checksum = r.contains("checksum") ? Unsigned(r, "checksum") : model::Crc32(*out.params);
    out.specialIcons = OptionalAnsi(r, "special_icons");
    if (r.contains("criteria")) {
      const json& criteria = r["criteria"];
      Expect(r, "criteria", criteria.is_array(), "\"criteria\" must be an array");
      for (const json& c : criteria) {
        Expect(r, "criteria", c.is_object(), "each criterion must be an object");
        out.criteria.push_back(Criterion(c));
      }
    }
    if (out.criteria.empty() && out.type != rb::kDefaultRule)
      Fail(r, "a " + type + " rule without criteria never matches: give it criteria");
    return out;
  }

  rb::CriterionSpec Criterion(const json& c) const {
    Keys(c, {"class", "file", "caption", "mode"});
    const int kinds = c.contains("class") + c.contains("file") + c.contains("caption");
    if (kinds != 1) Fail(c, "a criterion holds exactly one of \"class\", \"file\", \"caption\"");
    rb::CriterionSpec out;
    if (c.contains("mode") && !c.contains("caption")) Fail(c, "only a caption criterion has a \"mode\"", "mode");
    if (c.contains("class")) {
      out.type = rb::kClassCriterion;
      out.pattern = Ansi(c, "class");
    } else if (c.contains("file")) {
      out.type = rb::kFileNameCriterion;
      out.pattern = Ansi(c, "file");
    } else {
      out.type = rb::kCaptionCriterion;
      out.pattern = Ansi(c, "caption");
      const std::string mode = c.contains("mode") ? String(c, "mode") : "substring";
      if (mode == "substring") out.captionMode = rb::kSubstring;
      else if (mode == "exact") out.captionMode = rb::kExact;
      else if (mode == "regex") out.captionMode = rb::kRegularExpression;
      else Fail(c, "caption mode \"" + mode + "\" is none of \"substring\", \"exact\", \"regex\"", "mode");
    }
    if (out.pattern->empty()) Fail(c, "an empty pattern never matches");
    return out;
  }

  rb::TabbedExplorerSpec TabbedExplorer(const json& t) const {
    Keys(t, {"enabled", "path"});
    rb::TabbedExplorerSpec out;
    out.enabled = t.contains("enabled") ? Bool(t, "enabled") : true;
    if (t.contains("path")) {
      const std::wstring path = platform::Utf8ToWide(String(t, "path"));
      out.path = std::u16string(path.begin(), path.end());
    }
    return out;
  }

  const std::string& text_;
  const std::wstring& file_;
};

}  // namespace

RulesFileError::RulesFileError(const std::wstring& file, std::size_t line, const std::string& what)
    : std::runtime_error(platform::WideToUtf8(file) + ":" + std::to_string(line) + ": " + what),
      line_(line),
      what_(what) {}

RulesFile ParseRulesFile(const std::string& text, const std::wstring& file) {
  Reader reader(text, file);
  return reader.Read(reader.Parse());
}

RulesFile LoadRulesFile(const std::wstring& path) {
  platform::UniqueFileHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) throw RulesFileError(path, 0, "cannot open the file (error " + std::to_string(::GetLastError()) + ")");
  std::string text;
  char block[4096];
  DWORD got = 0;
  while (::ReadFile(f.get(), block, sizeof block, &got, nullptr) && got > 0) text.append(block, got);
  return ParseRulesFile(text, path);
}

}  // namespace dl::devcenter
