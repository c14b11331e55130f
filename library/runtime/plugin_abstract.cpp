#include "library/runtime/plugin_abstract.h"

#include "protocol/frame_codec.h"

namespace dl::entry {

CommandData PackIntegerField(std::uint32_t value) { return protocol::PackInteger(value); }

void* TAbstractPlugin::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IPlugin::kIid) return static_cast<IPlugin*>(this);
  if (iid == model::ISlave::kIid) return static_cast<model::ISlave*>(this);
  return TAbstractItem::FindInterface(iid);
}

}  // namespace dl::entry
