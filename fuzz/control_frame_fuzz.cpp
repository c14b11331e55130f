// Any bytes as a control frame sent to the stand-in's server window: the decoder stays inside
// the buffer, and what decodes encodes back to the bytes it was read from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tools/devcenter/control_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<char[]> copy(new char[size + 1]);
  if (size) std::memcpy(copy.get(), data, size);
  const dl::protocol::BytesView bytes(copy.get(), size);
  if (auto frame = dl::devcenter::DecodeControlFrame(bytes)) {
    const dl::protocol::Bytes again = dl::devcenter::EncodeControlFrame(*frame);
    if (bytes.substr(0, again.size()) != again) std::abort();
  }
  return 0;
}
