// Gathers one TQP frame from a byte stream (a serial line or a TCP connection),
// one byte at a time. It keeps the escapes, so what it gathers is the raw frame
// for TQPParseFrame; it checks neither CRC nor addresses.
//
// Rules: the first two bytes must be 0x7E (anything else starts over); further
// 0x7E before the destination are skipped; an unescaped 0x7E later abandons the
// frame so far and counts as the first start byte of a new one. Memory is the
// fixed 524-byte frame buffer whatever the stream holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "tqp/frame.h"

namespace trk::tqp {

class FrameAssembler {
 public:
  enum class Step {
    kMore,      // keep feeding
    kSource,    // the byte just fed was the frame's source node
    kComplete,  // Frame() holds a whole raw frame
  };

  Step Feed(uint8_t byte);
  void Reset();

  std::span<const uint8_t> Frame() const { return {buffer_.data(), position_}; }
  // Bytes of the current frame gathered so far.
  size_t Position() const { return position_; }

 private:
  void RestartAtStartByte();

  FrameBuffer buffer_{};
  size_t position_ = 0;
  size_t expected_ = kMinFrameLength;
  size_t lengthPosition_ = 5;
  size_t sourcePosition_ = 3;
  bool escape_ = false;
};

}  // namespace trk::tqp
