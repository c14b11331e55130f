// The rule-block reader and matcher over arbitrary bytes: whatever another process
// wrote, finding a rule ends with a result or "no rule", never outside the view.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "library/model/rule_criteria.h"
#include "library/model/rule_matching.h"
#include "protocol/rule_block_reader.h"
#include "protocol/service_block.h"

namespace {
class PortableSystem : public dl::model::IRuleMatchingSystem {
 public:
  bool RegexMatches(std::string_view pattern, std::string_view caption) noexcept override {
    return caption == pattern;
  }
  bool WildcardMatches(std::string_view pattern, std::string_view upperFileName) noexcept override {
    return dl::model::WildcardSpecMatches(pattern, upperFileName);
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the input's size, so that any read past the view is caught.
  std::unique_ptr<std::uint8_t[]> view(new std::uint8_t[size ? size : 1]);
  if (size) std::memcpy(view.get(), data, size);
  const dl::protocol::rule_block::RuleBlockReader block(view.get(), size);
  PortableSystem system;
  static const dl::model::RuleSubject subjects[] = {
      {"C:\\WINDOWS\\NOTEPAD.EXE", "Notepad", "Untitled - Notepad", false},
      {"C:\\WINDOWS\\EXPLORER.EXE", "CabinetWClass", "Documents", true},
      {"C:\\APP\\MFC.EXE", "Afx:400000:8:10003:0:1234", "", false},
  };
  for (const auto& subject : subjects) (void)dl::model::FindRule(block, subject, system);
  (void)dl::model::RuleBlockSkin(block);
  (void)dl::protocol::service_block::ReadServiceBlock(view.get(), size);
  return 0;
}
