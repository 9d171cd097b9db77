// Record encryption: RC6 with 32-bit words, 20 rounds and a 32-byte key,
// each 16-byte block enciphered by itself (no chaining), words little-endian.
//
// An enciphered record body of S = recordSize + 17 rounded down to 16 bytes
// holds, before enciphering, the record length (u16), the record and zero
// padding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace okv {

inline constexpr size_t kCipherBlockSize = 16;

class Rc6 {
 public:
  explicit Rc6(const uint8_t* key32);
  void EncryptBlocks(std::span<uint8_t> data) const;  // size a multiple of 16
  void DecryptBlocks(std::span<uint8_t> data) const;

 private:
  std::array<uint32_t, 44> roundKeys_{};
};

// Builds and enciphers the stored body of a record; body.size() is S.
void EncryptRecordBody(const Rc6& cipher, std::span<const uint8_t> record, std::span<uint8_t> body);
// Deciphers a stored body in place and checks its length word against the
// record size: 0, or 38 when they differ. The record then starts at body[2].
uint8_t DecryptRecordBody(const Rc6& cipher, std::span<uint8_t> body, uint16_t recordSize);

// The record length an enciphered body of srcLength bytes may plausibly carry.
bool IsPlausibleRecordLength(uint32_t length, uint32_t bodyLength);

}  // namespace okv
