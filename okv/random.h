// The level generator of the skip lists: the minimal standard generator
// (16807 mod 2^31-1, Schrage's method) with a 32-entry Bays-Durham shuffle,
// drawing doubles in (0, 1). One process-wide instance, seeded by the first
// open of the process; used only under the engine's global lock.
#pragma once

#include <cstdint>

namespace okv {

class LevelGenerator {
 public:
  void Seed(int32_t seed) { seed_ = seed; }
  double Draw();

 private:
  static int32_t Step(int32_t seed);

  int32_t seed_ = -1;
  int32_t last_ = 0;
  int32_t table_[32] = {};
};

LevelGenerator& ProcessLevelGenerator();

// A drawn level: 1, raised while draws fall below one half, at most 32.
uint8_t DrawLevel(LevelGenerator& generator);
// The balanced level of the record added after recordCount records:
// 1 + the trailing zero bits of recordCount + 1 (1, 2, 1, 3, 1, 2, 1, 4, ...).
uint8_t BalancedLevel(uint32_t recordCount);

}  // namespace okv
