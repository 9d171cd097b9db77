// The TQP link on a serial port: the port table ("COM1:" ... "COM8:", each mapped
// to $TQP_COMn or /dev/ttyS<n-1>), the line-direction modes that key a
// half-duplex driver, and sending and receiving frames a byte at a time.
//
// Receiving takes the next frame on the line whoever sent it; each byte waits at
// most 250 ms, and the whole frame at most the deadline it is given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tqp/node_table.h"
#include "tqp/serial_port.h"
#include "tqp/transport.h"

namespace trk::tqp {

inline constexpr uint8_t kLineModeCount = 7;
inline constexpr int kSerialByteTimeoutMs = 250;

// The index of an accepted port name ("COM1:" ... "COM8:", exactly), or none.
std::optional<uint8_t> PortIndexOfName(const char* portName);
// The device that stands for the port of this index.
std::string DeviceOfPort(uint8_t portIndex);

// Levels of RTS and DTR in one direction of a line-direction mode; an absent
// level means the line is left alone.
struct LineLevels {
  std::optional<bool> rts;
  std::optional<bool> dtr;
};
LineLevels LineLevelsOfMode(uint8_t lineMode, bool transmitting);

class SerialLink : public Transport {
 public:
  SerialLink(SerialPort port, uint8_t lineMode, uint32_t baudRate, NodeTable& nodes);

  uint8_t TQPSendMessage(const TQPNodeAddress* address, std::span<const uint8_t> frame, uint8_t node) override;
  uint8_t TQPGetMessage(TQPNodeAddress* address, uint16_t& rawLength, uint8_t node, FrameBuffer& raw,
                        const Deadline& deadline) override;
  uint32_t AnswerWindowMs() const override;

 private:
  void SetLines(bool transmitting);

  SerialPort port_;
  uint8_t lineMode_;
  uint32_t baudRate_;
  NodeTable& nodes_;
};

}  // namespace trk::tqp
