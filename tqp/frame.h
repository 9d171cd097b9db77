// The TQP frame: 7E 7E, destination, source, control, LEN, LEN data bytes, CRC
// low, CRC high. Every byte after the start bytes whose value is 0x1B or 0x7E is
// preceded on the wire by the escape byte 0x1B. The CRC covers every wire byte
// before the CRC field, escapes included. The largest wire frame is 524 bytes.
//
// TQPBuildFrame writes a frame; TQPParseFrame checks a raw frame exactly as
// received (start bytes, CRC, destination) and takes it apart. Neither keeps
// state; both are safe on any input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace trk::tqp {

inline constexpr uint8_t kStartByte = 0x7E;
inline constexpr uint8_t kEscapeByte = 0x1B;
inline constexpr size_t kMaxDataLength = 255;
inline constexpr size_t kMaxFrameLength = 524;  // every escapable byte escaped
inline constexpr size_t kMinFrameLength = 8;    // start bytes, header, CRC
inline constexpr uint16_t kCrcAfterStartBytes = 0x7E7E;

// Bits of the control byte.
namespace control {
inline constexpr uint8_t kResponse = 0x80;
inline constexpr uint8_t kFlag40 = 0x40;
inline constexpr uint8_t kFlag20 = 0x20;
inline constexpr uint8_t kFlag10 = 0x10;
inline constexpr uint8_t kAbort = 0x08;
inline constexpr uint8_t kCheck = 0x04;
inline constexpr uint8_t kReset = 0x02;
inline constexpr uint8_t kSequence = 0x01;
}  // namespace control

using FrameBuffer = std::array<uint8_t, kMaxFrameLength>;
using DataBuffer = std::array<uint8_t, kMaxDataLength>;

inline bool NeedsEscape(uint8_t value) { return value == kStartByte || value == kEscapeByte; }

// Writes the escaped frame from `source` to `destination` and returns its wire length.
// REQUIRES: data.size() <= kMaxDataLength.
uint16_t TQPBuildFrame(FrameBuffer& buffer, uint8_t source, uint8_t destination, uint8_t control,
                       std::span<const uint8_t> data);

// What TQPParseFrame found. `status` is set only for a valid frame.
struct ParsedFrame {
  uint8_t destination = 0;
  uint8_t source = 0;
  uint8_t control = 0;
  uint8_t length = 0;
  uint8_t status = 0;
};

// Checks and takes apart `raw`. Data bytes go to `data` when given. Valid means:
// both start bytes present, the CRC matches, and the destination is `ownNode`.
// A raw frame shorter than its fields announce is invalid.
bool TQPParseFrame(std::span<const uint8_t> raw, uint8_t ownNode, ParsedFrame& frame, DataBuffer* data);

// The result a requester reports for a response carrying this control byte
// (0 when it carries none of the status bits).
uint8_t StatusOfControl(uint8_t controlByte);

}  // namespace trk::tqp
