#include "protocol/frame_codec.h"

#include <limits>
#include <stdexcept>

namespace dl::protocol {
namespace {

void AppendLittleEndian32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

std::uint32_t ReadLittleEndian32(BytesView data, std::size_t at) noexcept {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
  return value;
}

}  // namespace

void FieldWriter::Count(std::uint32_t count) { AppendLittleEndian32(out_, count); }

FieldWriter& FieldWriter::Integer(std::uint64_t value) {
  Count(4);
  AppendLittleEndian32(out_, static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
  return *this;
}

FieldWriter& FieldWriter::Bytes8(BytesView bytes) {
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("field too long");
  Count(static_cast<std::uint32_t>(bytes.size()));
  out_.append(bytes);
  return *this;
}

FieldWriter& FieldWriter::Char(char c) {
  Count(1);
  out_.push_back(c);
  return *this;
}

FieldWriter& FieldWriter::WideChar(char16_t c) {
  Count(2);
  out_.push_back(static_cast<char>(c & 0xFF));
  out_.push_back(static_cast<char>((c >> 8) & 0xFF));
  return *this;
}

FieldWriter& FieldWriter::WideText(std::u16string_view text) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max() / 2) throw std::length_error("field too long");
  Count(static_cast<std::uint32_t>(text.size() * 2));
  for (char16_t c : text) {
    out_.push_back(static_cast<char>(c & 0xFF));
    out_.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return *this;
}

std::optional<BytesView> FieldReader::Field() noexcept {
  const std::size_t left = data_.size() - pos_;
  if (left < 4) return std::nullopt;
  const std::uint32_t count = ReadLittleEndian32(data_, pos_);
  // Compared against what is left, never added to the position first: a lying count
  // cannot wrap around.
  if (count > left - 4) return std::nullopt;
  BytesView field = data_.substr(pos_ + 4, count);
  pos_ += 4 + static_cast<std::size_t>(count);
  return field;
}

std::optional<std::uint32_t> FieldReader::Integer() noexcept {
  const std::size_t before = pos_;
  std::optional<BytesView> field = Field();
  if (!field || field->size() != 4) {
    pos_ = before;
    return std::nullopt;
  }
  return ReadLittleEndian32(*field, 0);
}

Bytes PackInteger(std::uint32_t value) { return FieldWriter().Integer(value).Take(); }

std::optional<std::uint32_t> UnpackInteger(BytesView data) noexcept { return FieldReader(data).Integer(); }

Bytes PackNameValueList(const NameValueList& pairs) {
  FieldWriter writer;
  for (const auto& [name, value] : pairs) writer.Bytes8(name).Bytes8(value);
  return writer.Take();
}

NameValueList UnpackNameValueList(BytesView data) {
  NameValueList pairs;
  FieldReader reader(data);
  for (;;) {
    std::optional<BytesView> name = reader.Field();
    if (!name) break;
    std::optional<BytesView> value = reader.Field();
    if (!value) break;
    pairs.emplace_back(std::string(*name), std::string(*value));
  }
  return pairs;
}

Bytes EncodeRequestBody(std::string_view receiver, std::uint32_t commandCode, BytesView commandData,
                        std::uint32_t processId) {
  return FieldWriter().Bytes8(receiver).Integer(commandCode).Bytes8(commandData).Integer(processId).Take();
}

Bytes EncodeFrameWithId(std::uint32_t messageId, BytesView body) {
  Bytes payload = FieldWriter().Integer(messageId).Take();
  payload.append(body);
  return payload;
}

std::optional<Request> DecodeRequest(BytesView payload) {
  FieldReader reader(payload);
  Request r;
  auto id = reader.Integer();
  if (!id) return std::nullopt;
  auto receiver = reader.Field();
  if (!receiver) return std::nullopt;
  auto code = reader.Integer();
  if (!code) return std::nullopt;
  auto data = reader.Field();
  if (!data) return std::nullopt;
  auto pid = reader.Integer();
  if (!pid) return std::nullopt;
  r.messageId = *id;
  r.receiver.assign(*receiver);
  r.commandCode = *code;
  r.commandData.assign(*data);
  r.processId = *pid;
  return r;
}

Bytes EncodeReply(std::uint32_t messageId, BytesView result) {
  return FieldWriter().Integer(messageId).Bytes8(result).Take();
}

std::optional<Reply> DecodeReply(BytesView payload) {
  FieldReader reader(payload);
  auto id = reader.Integer();
  if (!id) return std::nullopt;
  auto result = reader.Field();
  if (!result) return std::nullopt;
  return Reply{*id, Bytes(*result)};
}

Bytes EncodeCommand(const Command& command) {
  return FieldWriter()
      .Integer(command.messageId)
      .Integer(command.receiverWindow)
      .Bytes8(command.receiver)
      .Integer(command.commandCode)
      .Bytes8(command.commandData)
      .Take();
}

std::optional<Command> DecodeCommand(BytesView payload) {
  FieldReader reader(payload);
  Command c;
  auto id = reader.Integer();
  if (!id) return std::nullopt;
  auto window = reader.Integer();
  if (!window) return std::nullopt;
  auto receiver = reader.Field();
  if (!receiver) return std::nullopt;
  auto code = reader.Integer();
  if (!code) return std::nullopt;
  auto data = reader.Field();
  if (!data) return std::nullopt;
  c.messageId = *id;
  c.receiverWindow = *window;
  c.receiver.assign(*receiver);
  c.commandCode = *code;
  c.commandData.assign(*data);
  return c;
}

std::optional<std::uint32_t> ReadMessageId(BytesView payload) noexcept { return FieldReader(payload).Integer(); }

}  // namespace dl::protocol
