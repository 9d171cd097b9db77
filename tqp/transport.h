// What the exchange logic needs of a medium: send one wire frame to a node, and
// gather the next raw frame. The serial line and TCP each implement it.
//
// Every wait inside a transport is bounded by the medium's byte time-out and by
// the Deadline the caller passes, whichever comes first.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

#include "tqp/frame.h"
#include "tqp/tqp.h"

namespace trk::tqp {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  static Deadline AfterMs(uint32_t milliseconds) {
    return Deadline(Clock::now() + std::chrono::milliseconds(milliseconds));
  }
  bool Expired() const { return Clock::now() >= at_; }
  // Milliseconds left, at most `cap`.
  int RemainingMs(uint32_t cap) const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at_ - Clock::now()).count();
    if (left <= 0) return 0;
    return static_cast<int>(left < cap ? left : cap);
  }

 private:
  explicit Deadline(Clock::time_point at) : at_(at) {}
  Clock::time_point at_;
};

class Transport {
 public:
  virtual ~Transport() = default;

  // Sends `frame` to `node` (found with `address` on TCP). 0, 210, 220.
  virtual uint8_t TQPSendMessage(const TQPNodeAddress* address, std::span<const uint8_t> frame, uint8_t node) = 0;

  // Gathers the next raw frame into `raw`: from `node` (any node when 0) on TCP,
  // from the line on a serial port. 0 with rawLength > 0: a frame; 0 with
  // rawLength 0: a TCP partner closed between frames; 210: nothing in time;
  // 219: the socket layer failed. On TCP the connection's address is copied to
  // `address` (when given) for a wait for any node.
  virtual uint8_t TQPGetMessage(TQPNodeAddress* address, uint16_t& rawLength, uint8_t node, FrameBuffer& raw,
                                const Deadline& deadline) = 0;

  // How long one wait for an answer may take in all: room for the first byte,
  // a frame that does not concern us, and the answer itself.
  virtual uint32_t AnswerWindowMs() const = 0;
};

}  // namespace trk::tqp
