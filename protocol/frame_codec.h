#pragma once
// The WM_COPYDATA frames between a messenger client and the main program, and the field
// encoding every request and command payload is written in: a 32-bit little-endian byte
// count followed by that many bytes. Integer fields have count 4.
//
// Frames arrive from any process of the session, so every decoder takes the copied buffer
// as a bounded view and answers "malformed" (nullopt / false) instead of reading past it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace dl::protocol {

// Payloads and command data are byte strings.
using Bytes = std::string;
using BytesView = std::string_view;

// dwData of the WM_COPYDATA record.
enum FrameKind : std::uint32_t {
  kFrameRequestOrReply = 1,  // request (client to server) and reply (server to client)
  kFrameCommand = 2,         // command (server to client)
};

// Appends fields to a byte string. Every integer or boolean argument takes 4 bytes (of a
// 64-bit value the low 32 bits), a single character 1 byte, a wide character 2 bytes,
// a string its byte length.
class FieldWriter {
 public:
  FieldWriter() = default;
  explicit FieldWriter(Bytes start) : out_(std::move(start)) {}

  FieldWriter& Integer(std::uint64_t value);
  FieldWriter& Bytes8(BytesView bytes);       // a text or byte field
  FieldWriter& Char(char c);                  // count 1
  FieldWriter& WideChar(char16_t c);          // count 2
  FieldWriter& WideText(std::u16string_view text);  // UTF-16 code units, little-endian

  // The generic encoder: picks the field width from the argument's type.
  template <typename T>
  FieldWriter& Add(const T& value) {
    if constexpr (std::is_same_v<T, char>)
      return Char(value);
    else if constexpr (std::is_same_v<T, char16_t> || std::is_same_v<T, wchar_t>)
      return WideChar(static_cast<char16_t>(value));
    else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
      return Integer(static_cast<std::uint64_t>(value));
    else
      return Bytes8(BytesView(value));
  }
  template <typename... T>
  FieldWriter& AddAll(const T&... values) {
    (Add(values), ...);
    return *this;
  }

  [[nodiscard]] const Bytes& Data() const& noexcept { return out_; }
  // Hands the bytes over; the writer is empty afterwards.
  [[nodiscard]] Bytes Take() noexcept { return std::move(out_); }

 private:
  void Count(std::uint32_t count);
  Bytes out_;
};

// Reads fields from a bounded view, front to back. A read that does not fit leaves the
// reader where it was and answers false / nullopt.
class FieldReader {
 public:
  explicit FieldReader(BytesView data) noexcept : data_(data) {}

  // The next field's bytes (a view into the reader's data).
  [[nodiscard]] std::optional<BytesView> Field() noexcept;
  // The next field as a 32-bit integer: its count must be exactly 4.
  [[nodiscard]] std::optional<std::uint32_t> Integer() noexcept;

  [[nodiscard]] BytesView Rest() const noexcept { return data_.substr(pos_); }
  [[nodiscard]] bool AtEnd() const noexcept { return pos_ == data_.size(); }

 private:
  BytesView data_;
  std::size_t pos_ = 0;
};

// A packed integer (command data carrying a window handle or a number): one integer field.
[[nodiscard]] Bytes PackInteger(std::uint32_t value);
// The first field of `data` as an integer, or nullopt.
[[nodiscard]] std::optional<std::uint32_t> UnpackInteger(BytesView data) noexcept;

// A packed list of name/value pairs: text fields, name then value, read two at a time from
// the start until a pair cannot be read completely.
using NameValueList = std::vector<std::pair<std::string, std::string>>;
[[nodiscard]] Bytes PackNameValueList(const NameValueList& pairs);
[[nodiscard]] NameValueList UnpackNameValueList(BytesView data);

// Request (kind 1, client to server): message id, receiver, command code, command data,
// client process id. The client stores the body (all but the id) and prefixes the id when
// it sends.
struct Request {
  std::uint32_t messageId = 0;
  std::string receiver;  // ANSI text
  std::uint32_t commandCode = 0;
  Bytes commandData;
  std::uint32_t processId = 0;
};
[[nodiscard]] Bytes EncodeRequestBody(std::string_view receiver, std::uint32_t commandCode, BytesView commandData,
                                      std::uint32_t processId);
// The payload on the wire: the id as an integer field, then the body.
[[nodiscard]] Bytes EncodeFrameWithId(std::uint32_t messageId, BytesView body);
[[nodiscard]] std::optional<Request> DecodeRequest(BytesView payload);

// Reply (kind 1, server to client): message id, result.
struct Reply {
  std::uint32_t messageId = 0;
  Bytes result;
};
[[nodiscard]] Bytes EncodeReply(std::uint32_t messageId, BytesView result);
[[nodiscard]] std::optional<Reply> DecodeReply(BytesView payload);

// Command (kind 2, server to client): message id, receiver window (a window handle's low
// 32 bits), receiver, command code, command data.
struct Command {
  std::uint32_t messageId = 0;
  std::uint32_t receiverWindow = 0;
  std::string receiver;  // ANSI text
  std::uint32_t commandCode = 0;
  Bytes commandData;
};
[[nodiscard]] Bytes EncodeCommand(const Command& command);
[[nodiscard]] std::optional<Command> DecodeCommand(BytesView payload);

// The message id every frame starts with.
[[nodiscard]] std::optional<std::uint32_t> ReadMessageId(BytesView payload) noexcept;

}  // namespace dl::protocol
