#pragma once
// Command line of the stand-in's link modes:
//   devcenter serve [--hold-ms N] [--log FILE] [--no-replies]
//   devcenter send [--pid P] [--receiver TEXT] [--receiver-window H] --code N [--int N | --text T | --hex HEX]
//   devcenter handshake [--pid P] --command N [--instance I]
#include <cstdint>
#include <string>
#include <vector>

#include "tools/devcenter/control_frame.h"

namespace dl::devcenter {

enum class LinkMode { kServe, kSend, kHandshake };

struct LinkOptions {
  LinkMode mode = LinkMode::kServe;
  std::uint32_t holdMs = 0;  // serve: 0 = until the process is ended
  std::wstring logPath;
  bool replies = true;
  ControlFrame control;      // send and handshake
  std::uint32_t timeoutMs = 5000;
};

[[nodiscard]] bool IsLinkMode(const std::wstring& mode) noexcept;
// Throws std::invalid_argument on bad input.
[[nodiscard]] LinkOptions ParseLinkOptions(const std::vector<std::wstring>& args);
[[nodiscard]] const char* LinkUsageText() noexcept;

}  // namespace dl::devcenter
