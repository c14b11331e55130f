#include "library/entry/plugin_abstract.h"

namespace dl::entry {

CommandData PackIntegerField(std::uint32_t value) {
  CommandData field(8, '\0');
  field[0] = 4;
  for (int i = 0; i < 4; ++i) field[4 + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return field;
}

void* TAbstractPlugin::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IPlugin::kIid) return static_cast<IPlugin*>(this);
  if (iid == model::ISlave::kIid) return static_cast<model::ISlave*>(this);
  return TAbstractItem::FindInterface(iid);
}

}  // namespace dl::entry
