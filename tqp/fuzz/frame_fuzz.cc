// Feeds arbitrary bytes to the frame parser (as one raw frame, for every own
// node that the input could address) and to the stream assembler (as a byte
// stream), and checks that every frame the assembler completes stays within the
// frame buffer and that a built frame parses back to itself.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tqp/frame.h"
#include "tqp/frame_assembler.h"

using namespace trk::tqp;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  const uint8_t ownNode = size > 2 ? data[2] : 1;

  ParsedFrame parsed;
  DataBuffer parsedData{};
  TQPParseFrame(input, ownNode, parsed, &parsedData);
  TQPParseFrame(input, ownNode, parsed, nullptr);

  FrameAssembler assembler;
  for (uint8_t byte : input) {
    if (assembler.Feed(byte) != FrameAssembler::Step::kComplete) continue;
    const std::span<const uint8_t> raw = assembler.Frame();
    if (raw.size() > kMaxFrameLength) std::abort();
    ParsedFrame frame;
    DataBuffer frameData{};
    if (TQPParseFrame(raw, raw[2] == kEscapeByte ? raw[3] : raw[2], frame, &frameData)) {
      FrameBuffer rebuilt;
      const uint16_t length =
          TQPBuildFrame(rebuilt, frame.source, frame.destination, frame.control, {frameData.data(), frame.length});
      ParsedFrame again;
      DataBuffer againData{};
      if (!TQPParseFrame({rebuilt.data(), length}, frame.destination, again, &againData) ||
          again.control != frame.control || again.length != frame.length || againData != frameData) {
        std::abort();
      }
    }
    assembler.Reset();
  }
  return 0;
}
