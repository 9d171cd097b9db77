// The stream side of the frame: positions of LEN and of the source move on by one
// for every escape in front of them, and LEN lengthens the expected frame.
#include "tqp/frame_assembler.h"

namespace trk::tqp {

void FrameAssembler::Reset() {
  position_ = 0;
  expected_ = kMinFrameLength;
  lengthPosition_ = 5;
  sourcePosition_ = 3;
  escape_ = false;
}

void FrameAssembler::RestartAtStartByte() {
  Reset();
  buffer_[0] = kStartByte;
  position_ = 1;
}

FrameAssembler::Step FrameAssembler::Feed(uint8_t byte) {
  if (position_ < 2) {
    if (byte == kStartByte) {
      buffer_[position_++] = byte;
    } else {
      position_ = 0;
    }
    return Step::kMore;
  }
  if (byte == kStartByte && !escape_) {
    if (position_ > 2) RestartAtStartByte();
    return Step::kMore;
  }
  // Every escape is followed by a field byte, so a frame never outgrows the
  // buffer; the guard keeps that true for any stream.
  if (position_ >= buffer_.size()) {
    Reset();
    return Step::kMore;
  }
  buffer_[position_] = byte;
  if (byte == kEscapeByte && !escape_) {
    escape_ = true;
    ++expected_;
    if (lengthPosition_ >= position_) ++lengthPosition_;
    if (sourcePosition_ >= position_) ++sourcePosition_;
  } else {
    escape_ = false;
  }
  if (position_ == lengthPosition_) expected_ += byte;
  const bool isSource = position_ == sourcePosition_;
  ++position_;
  if (position_ >= expected_) return Step::kComplete;
  return isSource ? Step::kSource : Step::kMore;
}

}  // namespace trk::tqp
