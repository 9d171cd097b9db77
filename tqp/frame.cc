// Building and parsing TQP frames. The parser follows the wire byte by byte with
// an expected length that grows with LEN and with every escape, so it reads no
// further than the frame announces and never past the bytes it was given.
#include "tqp/frame.h"

#include "tqp/crc.h"
#include "tqp/tqp.h"

namespace trk::tqp {
namespace {

class FrameWriter {
 public:
  explicit FrameWriter(FrameBuffer& buffer) : buffer_(buffer) {
    buffer_[0] = kStartByte;
    buffer_[1] = kStartByte;
  }

  void PutCovered(uint8_t value) {
    if (NeedsEscape(value)) Put(kEscapeByte, true);
    Put(value, true);
  }
  void PutUncovered(uint8_t value) {
    if (NeedsEscape(value)) Put(kEscapeByte, false);
    Put(value, false);
  }
  uint16_t crc() const { return crc_; }
  uint16_t length() const { return length_; }

 private:
  void Put(uint8_t value, bool covered) {
    buffer_[length_++] = value;
    if (covered) crc_ = TQPCrcUpdate(crc_, value);
  }

  FrameBuffer& buffer_;
  uint16_t length_ = 2;
  uint16_t crc_ = kCrcAfterStartBytes;
};

enum class Field { kStart1, kStart2, kDestination, kSource, kControl, kLength, kData, kCrcLow, kCrcHigh, kDone };

}  // namespace

uint16_t TQPBuildFrame(FrameBuffer& buffer, uint8_t source, uint8_t destination, uint8_t controlByte,
                       std::span<const uint8_t> data) {
  const auto length = static_cast<uint8_t>(data.size());
  FrameWriter writer(buffer);
  for (uint8_t header : {destination, source, controlByte, length}) writer.PutCovered(header);
  for (size_t i = 0; i < length; ++i) writer.PutCovered(data[i]);
  const uint16_t crc = writer.crc();
  writer.PutUncovered(static_cast<uint8_t>(crc & 0xFF));
  writer.PutUncovered(static_cast<uint8_t>(crc >> 8));
  return writer.length();
}

bool TQPParseFrame(std::span<const uint8_t> raw, uint8_t ownNode, ParsedFrame& frame, DataBuffer* data) {
  size_t expected = kMinFrameLength;
  uint16_t crc = 0;
  uint16_t storedCrc = 0;
  bool escape = false;
  size_t dataCount = 0;
  Field field = Field::kStart1;

  for (size_t i = 0; i < expected; ++i) {
    if (i >= raw.size()) return false;
    const uint8_t b = raw[i];
    if (i + 2 < expected) crc = TQPCrcUpdate(crc, b);
    if (b == kEscapeByte && !escape) {
      escape = true;
      ++expected;
      continue;
    }
    escape = false;
    switch (field) {
      case Field::kStart1:
      case Field::kStart2:
        if (b != kStartByte) return false;
        field = field == Field::kStart1 ? Field::kStart2 : Field::kDestination;
        break;
      case Field::kDestination:
        frame.destination = b;
        field = Field::kSource;
        break;
      case Field::kSource:
        frame.source = b;
        field = Field::kControl;
        break;
      case Field::kControl:
        frame.control = b;
        field = Field::kLength;
        break;
      case Field::kLength:
        frame.length = b;
        expected += b;
        field = b == 0 ? Field::kCrcLow : Field::kData;
        break;
      case Field::kData:
        if (data != nullptr) (*data)[dataCount] = b;
        if (++dataCount == frame.length) field = Field::kCrcLow;
        break;
      case Field::kCrcLow:
        storedCrc = b;
        field = Field::kCrcHigh;
        break;
      case Field::kCrcHigh:
        storedCrc = static_cast<uint16_t>(storedCrc | (b << 8));
        field = Field::kDone;
        break;
      case Field::kDone:
        break;
    }
  }
  if (storedCrc != crc || frame.destination != ownNode) return false;
  frame.status = StatusOfControl(frame.control);
  return true;
}

uint8_t StatusOfControl(uint8_t controlByte) {
  if (controlByte & control::kFlag20) return TQP_FLAG_20;
  if (controlByte & control::kFlag40) return TQP_FLAG_40;
  if (controlByte & control::kAbort) return TQP_ABORTED;
  if (controlByte & control::kFlag10) return TQP_FLAG_10;
  if (controlByte & control::kCheck) return TQP_PENDING;
  return TQP_OK;
}

}  // namespace trk::tqp
