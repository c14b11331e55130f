#pragma once
// The dispatcher's shared blocks as the main program publishes them: the service block and
// the rule blocks, read through the mapping wrappers and the rule lookup.
#include "library/rules/rule_source.h"

namespace dl::rules {

[[nodiscard]] BlockSources MappedBlockSources();

}  // namespace dl::rules
