#pragma once
// A host run: started by the main program with its process id, its window and
// the library placement; lasts until the main program says stop or ends.
#include <string>

#include "host/arguments.h"

namespace dl::host {

class EventLog;

struct HostRunSettings {
  HostArguments args;
  std::wstring ownFolder;  // with a trailing "\"
  std::wstring tempLibraryPath;
};

// Runs the whole sequence; returns when the run has ended.
void RunHostSession(const HostRunSettings& settings, EventLog& log) noexcept;

}  // namespace dl::host
