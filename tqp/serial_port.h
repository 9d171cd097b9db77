// A serial device in raw mode: 8 data bits, no parity, one stop bit, no flow
// control, RTS and DTR raised on open. Bytes move one at a time; a read waits at
// most the time it is given. Modem-control changes that the device does not
// support (a pseudo-terminal) are ignored. Move-only; closes the device.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace trk::tqp {

inline constexpr uint8_t kBaudIndexCount = 6;  // 115200, 57600, 19200, 9600, 4800, 2400
uint32_t BaudRateOfIndex(uint8_t baudIndex);

class SerialPort {
 public:
  SerialPort() = default;
  SerialPort(SerialPort&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  SerialPort& operator=(SerialPort&& other) noexcept;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  ~SerialPort() { Close(); }

  // Opens `device` exclusively and sets the line up. False when it cannot.
  bool Open(const std::string& device, uint32_t baudRate);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Writes one byte, waiting at most `timeoutMs` for room; failures are not reported.
  void WriteByte(uint8_t byte, int timeoutMs);
  // Waits until every written byte has left the port.
  void Drain();
  void Flush();
  // False when no byte came within `timeoutMs`.
  bool ReadByte(uint8_t& byte, int timeoutMs);
  void SetRts(bool on);
  void SetDtr(bool on);

 private:
  void SetModemLine(int line, bool on);
  static bool SitOut(std::chrono::steady_clock::time_point until);

  int fd_ = -1;
};

}  // namespace trk::tqp
