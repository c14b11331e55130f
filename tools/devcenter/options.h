#pragma once
// The stand-in main program's command line.
#include <windows.h>

#include <string>
#include <vector>

namespace dl::devcenter {

enum class Mode { kRun, kProbe, kCheckRules };

struct Options {
  Mode mode = Mode::kRun;
  std::wstring hostPath;                // default: DeskloomCenter64.exe beside devcenter
  std::wstring placement = L"1";        // third host argument
  std::vector<std::wstring> launch;     // applications to start once the host is ready
  std::wstring module = L"dlmemb64.dll";
  std::vector<WPARAM> post;             // service-message codes posted to the host's thread
  DWORD holdMs = 0;                     // how long to keep the host running once ready
  DWORD readyTimeoutMs = 15000;
  DWORD stopTimeoutMs = 10000;
  DWORD moduleTimeoutMs = 15000;
  std::wstring tempFolder;              // TEMP and TMP of the host, when given
  std::wstring logPath;                 // JSON lines also go here
  bool showEventLog = false;            // print the host's event-log lines of this run
  std::wstring rulesFile;               // published as service and rule blocks, again when it changes
};

// Throws std::invalid_argument with a usage hint on bad input.
Options ParseOptions(const std::vector<std::wstring>& args);

const char* UsageText() noexcept;

}  // namespace dl::devcenter
