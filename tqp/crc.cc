// Bit-serial update of the frame check; frames are short, so no table is kept.
#include "tqp/crc.h"

namespace trk::tqp {

uint16_t TQPCrcUpdate(uint16_t crc, uint8_t byte) {
  for (int bit = 7; bit >= 0; --bit) {
    const bool topBit = (crc & 0x8000) != 0;
    crc = static_cast<uint16_t>((crc << 1) | ((byte >> bit) & 1));
    if (topBit) crc ^= kCrcPolynomial;
  }
  return crc;
}

}  // namespace trk::tqp
