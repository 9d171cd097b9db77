// The ran1 generator and the level choices; see random.h.
#include "okv/random.h"

#include <bit>

namespace okv {

namespace {
constexpr int32_t kMultiplier = 16807;
constexpr int32_t kModulus = 2147483647;
constexpr int32_t kQuotient = 127773;
constexpr int32_t kRemainder = 2836;
constexpr int kTableSize = 32;
constexpr int kWarmUp = 8;
constexpr int32_t kDivisor = 1 + (kModulus - 1) / kTableSize;  // 2^26
constexpr double kLargest = 0.99999988;
constexpr double kHalf = 0.49999994;
constexpr uint8_t kLevelLimit = 32;
}  // namespace

int32_t LevelGenerator::Step(int32_t seed) {
  const int32_t k = seed / kQuotient;
  int32_t next = kMultiplier * (seed - k * kQuotient) - kRemainder * k;
  if (next < 0) next += kModulus;
  return next;
}

double LevelGenerator::Draw() {
  if (seed_ <= 0 || last_ == 0) {
    seed_ = seed_ < 0 ? -seed_ : 1;
    for (int j = kTableSize + kWarmUp - 1; j >= 0; --j) {
      seed_ = Step(seed_);
      if (j < kTableSize) table_[j] = seed_;
    }
    last_ = table_[0];
  }
  seed_ = Step(seed_);
  const int j = last_ / kDivisor;
  last_ = table_[j];
  table_[j] = seed_;
  const double value = static_cast<double>(last_) / kModulus;
  return value > kLargest ? kLargest : value;
}

LevelGenerator& ProcessLevelGenerator() {
  static LevelGenerator generator;
  return generator;
}

uint8_t DrawLevel(LevelGenerator& generator) {
  uint8_t level = 1;
  double draw = generator.Draw();
  while (draw < kHalf && level < kLevelLimit) {
    ++level;
    draw = generator.Draw();
  }
  return level;
}

uint8_t BalancedLevel(uint32_t recordCount) {
  const uint32_t next = recordCount + 1;
  return static_cast<uint8_t>(1 + (next == 0 ? 32 : std::countr_zero(next)));
}

}  // namespace okv
