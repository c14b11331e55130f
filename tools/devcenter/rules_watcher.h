#pragma once
// Keeps the published rule blocks in step with the rules file: publishes it at start
// and again whenever the file changes. A file with an error is reported (file, line,
// what is wrong) and publishes nothing: the previous block stays.
#include <windows.h>

#include <string>

#include "tools/devcenter/recorder.h"
#include "tools/devcenter/rule_block_publisher.h"

namespace dl::devcenter {

class RulesWatcher {
 public:
  RulesWatcher(std::wstring path, RuleBlockPublisher& publisher, Recorder& rec);

  // Reads and publishes the file now; false when it has an error.
  bool PublishNow();
  // Publishes again when the file's time or size changed since the last look; true when a
  // new block went out.
  bool CheckForChange();

 private:
  struct Stamp {
    FILETIME written{};
    unsigned long long size = 0;
    bool exists = false;
  };
  [[nodiscard]] Stamp Look() const;

  std::wstring path_;
  RuleBlockPublisher& publisher_;
  Recorder& rec_;
  Stamp seen_;
};

}  // namespace dl::devcenter
