// Serial transport. Writes go out one byte at a time between keying and
// unkeying the line driver; reads feed the frame assembler and tell the node
// table who is talking as soon as the source byte has arrived.
#include "tqp/serial_link.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "tqp/frame_assembler.h"

namespace trk::tqp {
namespace {

constexpr std::array<std::string_view, 8> kPortNames = {"COM1:", "COM2:", "COM3:", "COM4:",
                                                         "COM5:", "COM6:", "COM7:", "COM8:"};
constexpr uint32_t kBitsPerWireByte = 10;  // start, 8 data, stop

struct ModeLines {
  bool movesRts;
  bool movesDtr;
  bool levelWhileTransmitting;
};
constexpr std::array<ModeLines, kLineModeCount> kModeLines = {{
    {false, false, false},
    {true, false, false},
    {true, false, true},
    {false, true, false},
    {false, true, true},
    {true, true, false},
    {true, true, true},
}};

}  // namespace

std::optional<uint8_t> PortIndexOfName(const char* portName) {
  for (size_t i = 0; i < kPortNames.size(); ++i) {
    if (portName == kPortNames[i]) return static_cast<uint8_t>(i);
  }
  return std::nullopt;
}

std::string DeviceOfPort(uint8_t portIndex) {
  const std::string variable = "TQP_COM" + std::to_string(portIndex + 1);
  if (const char* device = std::getenv(variable.c_str()); device != nullptr && *device != '\0') return device;
  return "/dev/ttyS" + std::to_string(portIndex);
}

LineLevels LineLevelsOfMode(uint8_t lineMode, bool transmitting) {
  const ModeLines& mode = kModeLines.at(lineMode);
  const bool level = transmitting ? mode.levelWhileTransmitting : !mode.levelWhileTransmitting;
  LineLevels levels;
  if (mode.movesRts) levels.rts = level;
  if (mode.movesDtr) levels.dtr = level;
  return levels;
}

SerialLink::SerialLink(SerialPort port, uint8_t lineMode, uint32_t baudRate, NodeTable& nodes)
    : port_(std::move(port)), lineMode_(lineMode), baudRate_(baudRate), nodes_(nodes) {
  port_.Flush();
  SetLines(false);
}

void SerialLink::SetLines(bool transmitting) {
  const LineLevels levels = LineLevelsOfMode(lineMode_, transmitting);
  if (levels.rts) port_.SetRts(*levels.rts);
  if (levels.dtr) port_.SetDtr(*levels.dtr);
}

uint8_t SerialLink::TQPSendMessage(const TQPNodeAddress*, std::span<const uint8_t> frame, uint8_t) {
  SetLines(true);
  for (uint8_t byte : frame) port_.WriteByte(byte, kSerialByteTimeoutMs);
  port_.Drain();
  SetLines(false);
  return TQP_OK;
}

uint8_t SerialLink::TQPGetMessage(TQPNodeAddress*, uint16_t& rawLength, uint8_t, FrameBuffer& raw,
                                  const Deadline& deadline) {
  FrameAssembler assembler;
  while (true) {
    uint8_t byte = 0;
    const int wait = deadline.RemainingMs(kSerialByteTimeoutMs);
    if (wait == 0 || !port_.ReadByte(byte, wait)) return TQP_NO_ANSWER;
    switch (assembler.Feed(byte)) {
      case FrameAssembler::Step::kMore:
        break;
      case FrameAssembler::Step::kSource:
        nodes_.NoteSerialSource(byte);
        break;
      case FrameAssembler::Step::kComplete:
        rawLength = static_cast<uint16_t>(assembler.Position());
        std::memcpy(raw.data(), assembler.Frame().data(), assembler.Position());
        return TQP_OK;
    }
  }
}

uint32_t SerialLink::AnswerWindowMs() const {
  // Two byte time-outs and two of the largest frames at the line's speed.
  return 2 * kSerialByteTimeoutMs + 2 * kMaxFrameLength * kBitsPerWireByte * 1000 / baudRate_;
}

}  // namespace trk::tqp
