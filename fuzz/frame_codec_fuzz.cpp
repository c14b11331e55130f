// Any bytes as a WM_COPYDATA payload: every decoder must stay inside the buffer, and what
// decodes must encode back to the bytes it was read from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "protocol/frame_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dl::protocol;
  // An exact-size copy, so that AddressSanitizer sees any read past the end.
  std::unique_ptr<char[]> copy(new char[size + 1]);
  if (size) std::memcpy(copy.get(), data, size);
  const BytesView payload(copy.get(), size);

  if (auto request = DecodeRequest(payload)) {
    const Bytes again = EncodeFrameWithId(
        request->messageId, EncodeRequestBody(request->receiver, request->commandCode, request->commandData,
                                              request->processId));
    if (payload.substr(0, again.size()) != again) std::abort();
  }
  if (auto command = DecodeCommand(payload)) {
    const Bytes again = EncodeCommand(*command);
    if (payload.substr(0, again.size()) != again) std::abort();
  }
  if (auto reply = DecodeReply(payload)) {
    const Bytes again = EncodeReply(reply->messageId, reply->result);
    if (payload.substr(0, again.size()) != again) std::abort();
  }
  (void)ReadMessageId(payload);
  (void)UnpackInteger(payload);
  const NameValueList pairs = UnpackNameValueList(payload);
  const Bytes packed = PackNameValueList(pairs);
  if (payload.substr(0, packed.size()) != packed) std::abort();
  return 0;
}
