// termios set-up and single-byte I/O with poll() time-outs. The descriptor is
// non-blocking so that neither a read nor a write can wait past its time-out.
#include "tqp/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <thread>

namespace trk::tqp {
namespace {

constexpr std::array<uint32_t, kBaudIndexCount> kBaudRates = {115200, 57600, 19200, 9600, 4800, 2400};

speed_t SpeedOf(uint32_t baudRate) {
  switch (baudRate) {
    case 115200: return B115200;
    case 57600: return B57600;
    case 19200: return B19200;
    case 9600: return B9600;
    case 4800: return B4800;
    default: return B2400;
  }
}

bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd watch{fd, events, 0};
  int ready;
  do {
    ready = ::poll(&watch, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

}  // namespace

uint32_t BaudRateOfIndex(uint8_t baudIndex) { return kBaudRates.at(baudIndex); }

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool SerialPort::Open(const std::string& device, uint32_t baudRate) {
  Close();
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) {
    ::close(fd);
    return false;
  }
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, SpeedOf(baudRate));
  ::cfsetospeed(&settings, SpeedOf(baudRate));
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
    ::close(fd);
    return false;
  }
  ::ioctl(fd, TIOCEXCL);
  fd_ = fd;
  SetRts(true);
  SetDtr(true);
  Flush();
  return true;
}

void SerialPort::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void SerialPort::WriteByte(uint8_t byte, int timeoutMs) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const ssize_t written = ::write(fd_, &byte, 1);
    if (written == 1 || (errno != EAGAIN && errno != EINTR)) return;
    if (!WaitFor(fd_, POLLOUT, timeoutMs)) return;
  }
}

void SerialPort::Drain() { ::tcdrain(fd_); }

void SerialPort::Flush() { ::tcflush(fd_, TCIOFLUSH); }

bool SerialPort::ReadByte(uint8_t& byte, int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    // With VMIN and VTIME 0 an empty line reads as 0 bytes, not as an error.
    const ssize_t got = ::read(fd_, &byte, 1);
    if (got == 1) return true;
    if (got < 0 && errno != EAGAIN && errno != EINTR) return SitOut(until);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd watch{fd_, POLLIN, 0};
    const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
    if (ready == 0) return false;
    if (ready > 0 && !(watch.revents & POLLIN)) return SitOut(until);
  }
}

bool SerialPort::SitOut(std::chrono::steady_clock::time_point until) {
  // The far end hung up: poll would wake at once, so wait out the time-out as a
  // silent line would instead of letting callers spin.
  std::this_thread::sleep_until(until);
  return false;
}

void SerialPort::SetModemLine(int line, bool on) { ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line); }
void SerialPort::SetRts(bool on) { SetModemLine(TIOCM_RTS, on); }
void SerialPort::SetDtr(bool on) { SetModemLine(TIOCM_DTR, on); }

}  // namespace trk::tqp
