// The library's own dispatcher in this process: its flags and collaborators.
#include "library/entry/process_gate.h"
#include "library/extender/process_flags.h"
#include "library/rules/rule_dispatcher.h"

namespace dl::rules {

DispatcherEnvironment ProcessDispatcherEnvironment() {
  DispatcherEnvironment env;
  const auto& flags = extender::CurrentProcessFlags();
  env.reducedHookProcess = entry::ProcessGate().reducedHook;
  env.explorerProcess = flags.shell;
  env.shellExperienceHost = flags.shellExperienceHost;
  // The block readers, the messenger client and the regular-expression runtime bind their
  // members here once they are part of the library; until then no rule block opens and the
  // dispatcher stays inactive.
  return env;
}

}  // namespace dl::rules
