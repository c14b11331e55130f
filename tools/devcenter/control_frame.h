#pragma once
// What a script asks of a running stand-in: a command to send to the registered clients, or
// a handshake command. It travels as WM_COPYDATA of its own kind to the stand-in's server
// window 0, in the link's field encoding, and is decoded within its bytes like every frame.
// Platform-free, so that it is fuzzed natively.
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/frame_codec.h"

namespace dl::devcenter {

// dwData of a control frame ("DLC" and a version byte): no client frame has this kind.
inline constexpr std::uint32_t kControlFrameKind = 0x444C4301;

struct ControlFrame {
  enum Op : std::uint32_t { kCommand = 1, kHandshake = 2 };
  std::uint32_t op = kCommand;
  std::uint32_t processId = 0;       // 0: every registered client
  // kCommand
  std::uint32_t receiverWindow = 0;
  std::string receiver;
  std::uint32_t commandCode = 0;
  protocol::Bytes data;
  // kHandshake
  std::uint32_t handshakeCommand = 0;
  std::uint32_t instance = 0;
};

[[nodiscard]] protocol::Bytes EncodeControlFrame(const ControlFrame& frame);
[[nodiscard]] std::optional<ControlFrame> DecodeControlFrame(protocol::BytesView bytes);

}  // namespace dl::devcenter
