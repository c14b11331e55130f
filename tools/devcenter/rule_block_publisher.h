#pragma once
// Publishes what the rules file says the way the main program does: the service block
// (regular-expression folder, logging switch, DPI, current rule-block id) and one rule
// block per publication under a new id. The previous rule block stays mapped until the
// next publication, so that a process that has just read the old id still finds it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "tools/devcenter/rules_file.h"

namespace dl::devcenter {

class RuleBlockPublisher {
 public:
  // Creates the service block (no rule block yet: id 0). Throws std::runtime_error
  // when the mapping cannot be created.
  RuleBlockPublisher();

  // Writes a new rule block and points the service block at it; returns its id.
  std::uint32_t Publish(const RulesFile& rules);

  [[nodiscard]] std::uint32_t CurrentId() const noexcept { return currentId_; }
  [[nodiscard]] std::size_t CurrentSize() const noexcept { return currentSize_; }

 private:
  struct Block {
    platform::UniqueHandle mapping;
    std::uint32_t id = 0;
  };

  platform::UniqueHandle serviceMapping_;
  platform::UniqueView serviceView_;
  Block current_, previous_;
  std::uint32_t currentId_ = 0;
  std::size_t currentSize_ = 0;
};

}  // namespace dl::devcenter
