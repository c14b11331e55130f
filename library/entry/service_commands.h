#pragma once
// The service-message commands that the get-message hook carries out itself.
#include <windows.h>

namespace dl::entry {

enum class ServiceOutcome {
  kSwallow,   // acted on: the application gets a null message, the next hook is not called
  kContinue,  // not for us here: the message goes on through the hook procedure
};

ServiceOutcome HandleServiceCommand(MSG& msg);

}  // namespace dl::entry
