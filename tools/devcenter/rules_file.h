#pragma once
// The stand-in's rules file: a JSON document that a person reads and edits, describing
// the service-block settings and the chain of rule records (groups with their rules
// and criteria, the tabbed-explorer record). See the README for the format.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/rule_block_writer.h"

namespace dl::devcenter {

struct RulesFile {
  std::optional<std::wstring> regexFolder;  // default: the devcenter's own folder
  bool eventLog = false;
  std::uint32_t dpi = 96;
  std::vector<protocol::rule_block::TopLevelSpec> records;
};

// What is wrong, and where: "<file>:<line>: <what>".
class RulesFileError : public std::runtime_error {
 public:
  RulesFileError(const std::wstring& file, std::size_t line, const std::string& what);
  [[nodiscard]] std::size_t Line() const noexcept { return line_; }
  [[nodiscard]] const std::string& What() const noexcept { return what_; }

 private:
  std::size_t line_;
  std::string what_;
};

// Text in UTF-8; `file` names it in messages. A rule's checksum, unless given, is the
// CRC-32 of its parameter string.
[[nodiscard]] RulesFile ParseRulesFile(const std::string& text, const std::wstring& file);
[[nodiscard]] RulesFile LoadRulesFile(const std::wstring& path);

}  // namespace dl::devcenter
