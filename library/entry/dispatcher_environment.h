#pragma once
// The library's own rule dispatcher in this process: the environment that the entry builds
// from the process gate, the process flags, the messenger binding, the regular-expression
// runtime and the mapped blocks.
#include "library/rules/rule_dispatcher.h"

namespace dl::entry {

[[nodiscard]] rules::DispatcherEnvironment ProcessDispatcherEnvironment();

// Makes the process's thread-local hook list: the stubs, the library's window-event procedure,
// event hooks only in a reduced-hook process, and the events that the application asks for.
[[nodiscard]] std::function<std::unique_ptr<IOwnedThreadHookList>()> ThreadHookListMaker(bool reducedHookProcess);

}  // namespace dl::entry
