// The monitor-block reader over arbitrary bytes: whatever another process wrote, reading
// ends with records that lie inside the view, or with "no block".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "protocol/monitor_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace mb = dl::protocol::monitor_block;
  // A copy of exactly the input's size, so that any read past the view is caught.
  std::unique_ptr<std::uint8_t[]> view(new std::uint8_t[size ? size : 1]);
  if (size) std::memcpy(view.get(), data, size);
  const auto devices = mb::ReadMonitorBlock(view.get(), size);
  if (!devices) return 0;
  if (mb::BlockSize(devices->size()) > size) std::abort();
  // What was read writes back to the same records.
  const auto again = mb::ReadMonitorBlock(mb::WriteMonitorBlock(*devices).data(), mb::BlockSize(devices->size()));
  if (!again || again->size() != devices->size()) std::abort();
  for (std::size_t i = 0; i < devices->size(); ++i)
    if ((*again)[i].realRect != (*devices)[i].realRect || (*again)[i].attached != (*devices)[i].attached) std::abort();
  return 0;
}
