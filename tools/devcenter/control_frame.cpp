#include "tools/devcenter/control_frame.h"

namespace dl::devcenter {

protocol::Bytes EncodeControlFrame(const ControlFrame& frame) {
  protocol::FieldWriter writer;
  writer.Integer(frame.op).Integer(frame.processId);
  if (frame.op == ControlFrame::kCommand)
    writer.Integer(frame.receiverWindow).Bytes8(frame.receiver).Integer(frame.commandCode).Bytes8(frame.data);
  else
    writer.Integer(frame.handshakeCommand).Integer(frame.instance);
  return writer.Take();
}

std::optional<ControlFrame> DecodeControlFrame(protocol::BytesView bytes) {
  protocol::FieldReader reader(bytes);
  ControlFrame frame;
  auto op = reader.Integer();
  auto processId = reader.Integer();
  if (!op || !processId) return std::nullopt;
  frame.op = *op;
  frame.processId = *processId;
  if (frame.op == ControlFrame::kCommand) {
    auto window = reader.Integer();
    auto receiver = reader.Field();
    auto code = reader.Integer();
    auto data = reader.Field();
    if (!window || !receiver || !code || !data) return std::nullopt;
    frame.receiverWindow = *window;
    frame.receiver.assign(*receiver);
    frame.commandCode = *code;
    frame.data.assign(*data);
    return frame;
  }
  if (frame.op == ControlFrame::kHandshake) {
    auto command = reader.Integer();
    auto instance = reader.Integer();
    if (!command || !instance) return std::nullopt;
    frame.handshakeCommand = *command;
    frame.instance = *instance;
    return frame;
  }
  return std::nullopt;
}

}  // namespace dl::devcenter
