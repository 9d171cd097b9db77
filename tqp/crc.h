// The TQP frame check: a 16-bit register fed most significant bit first with
// polynomial 0x1021, starting at 0, with no reflection and no final xor. The data
// bit enters at the bottom as the register shifts, so the register after the two
// start bytes is 0x7E7E.
#pragma once

#include <cstdint>

namespace trk::tqp {

inline constexpr uint16_t kCrcPolynomial = 0x1021;

uint16_t TQPCrcUpdate(uint16_t crc, uint8_t byte);

}  // namespace trk::tqp
