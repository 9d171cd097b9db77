// Bounded little-endian field access; see fields.h.
#include "tqpfs/fields.h"

#include <cstring>

namespace trk::tqpfs {

uint8_t FieldReader::U8() {
  const auto field = Bytes(1);
  return field.empty() ? 0 : field[0];
}

uint16_t FieldReader::U16() {
  const auto field = Bytes(2);
  return field.empty() ? 0 : static_cast<uint16_t>(field[0] | field[1] << 8);
}

uint32_t FieldReader::U32() {
  const auto field = Bytes(4);
  if (field.empty()) return 0;
  return static_cast<uint32_t>(field[0]) | static_cast<uint32_t>(field[1]) << 8 |
         static_cast<uint32_t>(field[2]) << 16 | static_cast<uint32_t>(field[3]) << 24;
}

std::string_view FieldReader::Text() {
  const auto rest = bytes_.subspan(position_);
  const void* terminator = rest.empty() ? nullptr : std::memchr(rest.data(), 0, rest.size());
  if (failed_ || terminator == nullptr) {
    failed_ = true;
    return {};
  }
  const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(terminator) - rest.data());
  position_ += length + 1;
  return {reinterpret_cast<const char*>(rest.data()), length};
}

std::span<const uint8_t> FieldReader::Bytes(size_t count) {
  if (failed_ || count > remaining()) {
    failed_ = true;
    return {};
  }
  const auto field = bytes_.subspan(position_, count);
  position_ += count;
  return field;
}

std::span<const uint8_t> FieldReader::Rest() { return failed_ ? std::span<const uint8_t>{} : Bytes(remaining()); }

bool FieldWriter::Fits(size_t count) {
  if (overflowed_ || count > kFrameDataSize - length_) overflowed_ = true;
  return !overflowed_;
}

FieldWriter& FieldWriter::U8(uint8_t value) {
  if (Fits(1)) buffer_[length_++] = value;
  return *this;
}

FieldWriter& FieldWriter::U16(uint16_t value) {
  if (Fits(2)) {
    buffer_[length_++] = static_cast<uint8_t>(value);
    buffer_[length_++] = static_cast<uint8_t>(value >> 8);
  }
  return *this;
}

FieldWriter& FieldWriter::U32(uint32_t value) {
  if (Fits(4)) {
    for (int shift = 0; shift < 32; shift += 8) buffer_[length_++] = static_cast<uint8_t>(value >> shift);
  }
  return *this;
}

FieldWriter& FieldWriter::Text(std::string_view text) {
  if (Fits(text.size() + 1)) {
    if (!text.empty()) std::memcpy(buffer_.data() + length_, text.data(), text.size());
    length_ += text.size();
    buffer_[length_++] = 0;
  }
  return *this;
}

FieldWriter& FieldWriter::PaddedText(std::string_view text, size_t width) {
  if (Fits(width)) {
    const size_t copied = text.size() < width ? text.size() : width - 1;
    if (copied != 0) std::memcpy(buffer_.data() + length_, text.data(), copied);
    std::memset(buffer_.data() + length_ + copied, 0, width - copied);
    length_ += width;
  }
  return *this;
}

FieldWriter& FieldWriter::Bytes(std::span<const uint8_t> bytes) {
  if (Fits(bytes.size()) && !bytes.empty()) {
    std::memcpy(buffer_.data() + length_, bytes.data(), bytes.size());
    length_ += bytes.size();
  }
  return *this;
}

FieldWriter& FieldWriter::Zeros(size_t count) {
  if (Fits(count)) {
    std::memset(buffer_.data() + length_, 0, count);
    length_ += count;
  }
  return *this;
}

}  // namespace trk::tqpfs
