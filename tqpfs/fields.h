// Little-endian fields of requests and answers. A request or an answer is at
// most one frame's data (255 bytes); multi-byte values travel low byte first
// and texts are narrow and zero-terminated.
//
// FieldReader takes fields from the front of untrusted bytes and never reads
// beyond them: a field that is not all there sets failed() and reads as zero
// (or empty). FieldWriter appends fields to a 255-byte buffer and sets
// overflowed() instead of writing beyond it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace trk::tqpfs {

inline constexpr size_t kFrameDataSize = 255;
using FrameData = std::array<uint8_t, kFrameDataSize>;

class FieldReader {
 public:
  explicit FieldReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  // A zero-terminated text; the terminator must be among the bytes.
  std::string_view Text();
  // Exactly `count` bytes.
  std::span<const uint8_t> Bytes(size_t count);
  // Whatever is left.
  std::span<const uint8_t> Rest();

  size_t remaining() const { return bytes_.size() - position_; }
  bool failed() const { return failed_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
  bool failed_ = false;
};

class FieldWriter {
 public:
  FieldWriter& U8(uint8_t value);
  FieldWriter& U16(uint16_t value);
  FieldWriter& U32(uint32_t value);
  FieldWriter& I16(int16_t value) { return U16(static_cast<uint16_t>(value)); }
  FieldWriter& I32(int32_t value) { return U32(static_cast<uint32_t>(value)); }
  // The text and its terminator.
  FieldWriter& Text(std::string_view text);
  // The text zero-padded to `width` bytes. REQUIRES: text.size() < width.
  FieldWriter& PaddedText(std::string_view text, size_t width);
  FieldWriter& Bytes(std::span<const uint8_t> bytes);
  // `count` zero bytes.
  FieldWriter& Zeros(size_t count);

  std::span<const uint8_t> bytes() const { return {buffer_.data(), length_}; }
  size_t size() const { return length_; }
  bool overflowed() const { return overflowed_; }

 private:
  bool Fits(size_t count);

  FrameData buffer_{};
  size_t length_ = 0;
  bool overflowed_ = false;
};

}  // namespace trk::tqpfs
