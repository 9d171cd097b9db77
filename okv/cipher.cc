// RC6 and the enciphered record body; see cipher.h.
#include "okv/cipher.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "okv/format.h"
#include "okv/okv.h"

namespace okv {

namespace {
constexpr int kRounds = 20;
constexpr uint32_t kP32 = 0xB7E15163;
constexpr uint32_t kQ32 = 0x9E3779B9;
constexpr int kKeyWords = 8;

uint32_t Rotl(uint32_t v, uint32_t n) { return std::rotl(v, static_cast<int>(n & 31)); }
uint32_t Rotr(uint32_t v, uint32_t n) { return std::rotr(v, static_cast<int>(n & 31)); }
uint32_t Mix(uint32_t v) { return Rotl(v * (2 * v + 1), 5); }
}  // namespace

Rc6::Rc6(const uint8_t* key32) {
  uint32_t words[kKeyWords];
  for (int i = 0; i < kKeyWords; ++i) words[i] = LoadU32(key32 + 4 * i);
  roundKeys_[0] = kP32;
  for (size_t i = 1; i < roundKeys_.size(); ++i) roundKeys_[i] = roundKeys_[i - 1] + kQ32;
  uint32_t a = 0, b = 0;
  size_t i = 0, j = 0;
  const size_t steps = 3 * std::max<size_t>(kKeyWords, roundKeys_.size());
  for (size_t s = 0; s < steps; ++s) {
    a = roundKeys_[i] = Rotl(roundKeys_[i] + a + b, 3);
    b = words[j] = Rotl(words[j] + a + b, a + b);
    i = (i + 1) % roundKeys_.size();
    j = (j + 1) % kKeyWords;
  }
}

void Rc6::EncryptBlocks(std::span<uint8_t> data) const {
  const auto& s = roundKeys_;
  for (size_t at = 0; at + kCipherBlockSize <= data.size(); at += kCipherBlockSize) {
    uint8_t* p = data.data() + at;
    uint32_t a = LoadU32(p), b = LoadU32(p + 4), c = LoadU32(p + 8), d = LoadU32(p + 12);
    b += s[0];
    d += s[1];
    for (int r = 1; r <= kRounds; ++r) {
      const uint32_t t = Mix(b), u = Mix(d);
      a = Rotl(a ^ t, u) + s[2 * r];
      c = Rotl(c ^ u, t) + s[2 * r + 1];
      const uint32_t first = a;
      a = b;
      b = c;
      c = d;
      d = first;
    }
    a += s[2 * kRounds + 2];
    c += s[2 * kRounds + 3];
    StoreU32(p, a);
    StoreU32(p + 4, b);
    StoreU32(p + 8, c);
    StoreU32(p + 12, d);
  }
}

void Rc6::DecryptBlocks(std::span<uint8_t> data) const {
  const auto& s = roundKeys_;
  for (size_t at = 0; at + kCipherBlockSize <= data.size(); at += kCipherBlockSize) {
    uint8_t* p = data.data() + at;
    uint32_t a = LoadU32(p), b = LoadU32(p + 4), c = LoadU32(p + 8), d = LoadU32(p + 12);
    c -= s[2 * kRounds + 3];
    a -= s[2 * kRounds + 2];
    for (int r = kRounds; r >= 1; --r) {
      const uint32_t last = d;
      d = c;
      c = b;
      b = a;
      a = last;
      const uint32_t u = Mix(d), t = Mix(b);
      c = Rotr(c - s[2 * r + 1], t) ^ u;
      a = Rotr(a - s[2 * r], u) ^ t;
    }
    d -= s[1];
    b -= s[0];
    StoreU32(p, a);
    StoreU32(p + 4, b);
    StoreU32(p + 8, c);
    StoreU32(p + 12, d);
  }
}

void EncryptRecordBody(const Rc6& cipher, std::span<const uint8_t> record, std::span<uint8_t> body) {
  std::fill(body.begin(), body.end(), 0);
  StoreU16(body.data(), static_cast<uint16_t>(record.size()));
  std::memcpy(body.data() + 2, record.data(), record.size());
  cipher.EncryptBlocks(body);
}

uint8_t DecryptRecordBody(const Rc6& cipher, std::span<uint8_t> body, uint16_t recordSize) {
  cipher.DecryptBlocks(body);
  const uint16_t length = LoadU16(body.data());
  return length == recordSize && IsPlausibleRecordLength(length, static_cast<uint32_t>(body.size())) ? OKV_SUCCESS
                                                                                                     : OKV_WRONG_KEY;
}

bool IsPlausibleRecordLength(uint32_t length, uint32_t bodyLength) {
  return int64_t{length} > int64_t{bodyLength} - 18 && int64_t{length} <= int64_t{bodyLength} - 2;
}

}  // namespace okv
