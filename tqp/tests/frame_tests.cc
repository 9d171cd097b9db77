// The frame builder, parser and stream assembler, byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "tqp/crc.h"
#include "tqp/frame.h"
#include "tqp/frame_assembler.h"
#include "tqp/tqp.h"

namespace trk::tqp {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Build(uint8_t source, uint8_t destination, uint8_t controlByte, const Bytes& data) {
  FrameBuffer buffer;
  const uint16_t length = TQPBuildFrame(buffer, source, destination, controlByte, data);
  return Bytes(buffer.begin(), buffer.begin() + length);
}

// Feeds `stream` and returns every frame the assembler completes.
std::vector<Bytes> Assemble(const Bytes& stream) {
  FrameAssembler assembler;
  std::vector<Bytes> frames;
  for (uint8_t byte : stream) {
    if (assembler.Feed(byte) == FrameAssembler::Step::kComplete) {
      frames.emplace_back(assembler.Frame().begin(), assembler.Frame().end());
      assembler.Reset();
    }
  }
  return frames;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(FrameTest, WorkedExamplesMatchByteForByte) {
  EXPECT_EQ(Build(2, 1, 0x00, {0x00}), (Bytes{0x7E, 0x7E, 0x01, 0x02, 0x00, 0x01, 0x00, 0x53, 0x62}));
  EXPECT_EQ(Build(2, 0x7E, 0x02, {0x1B, 0x7E}),
            (Bytes{0x7E, 0x7E, 0x1B, 0x7E, 0x02, 0x02, 0x02, 0x1B, 0x1B, 0x1B, 0x7E, 0xFC, 0xEF}));

  ParsedFrame frame;
  DataBuffer data{};
  ASSERT_TRUE(TQPParseFrame(Build(2, 0x7E, 0x02, {0x1B, 0x7E}), 0x7E, frame, &data));
  EXPECT_EQ(frame.source, 2);
  EXPECT_EQ(frame.control, 0x02);
  EXPECT_EQ(frame.length, 2);
  EXPECT_EQ(data[0], 0x1B);
  EXPECT_EQ(data[1], 0x7E);
}

TEST(FrameTest, CrcStartsFromTheStartBytes) {
  EXPECT_EQ(TQPCrcUpdate(TQPCrcUpdate(0, 0x7E), 0x7E), kCrcAfterStartBytes);
}

// Every field that may carry 0x1B or 0x7E is escaped, counted in the wire
// length, and comes back unchanged through the assembler and the parser.
TEST(FrameTest, EscapedFieldsRoundTrip) {
  struct Case {
    uint8_t source, destination, control;
    Bytes data;
  };
  const std::vector<Case> cases = {
      {0x1B, 0x7E, 0x1B, {}},           // source, destination, control
      {1, 2, 0, Bytes(0x1B, 0x41)},     // LEN 0x1B
      {1, 2, 0, Bytes(0x7E, 0x7E)},     // LEN 0x7E, every data byte escaped
      {1, 2, 0, Bytes(255, 0x1B)},      // the longest data field of escapes
      {0x7E, 0x1B, 0x7E, {0x1B, 0x7E}}, // everything at once
  };
  for (const Case& c : cases) {
    const Bytes wire = Build(c.source, c.destination, c.control, c.data);
    size_t escapable = 0;
    for (uint8_t b : Bytes{c.destination, c.source, c.control, static_cast<uint8_t>(c.data.size())}) {
      escapable += NeedsEscape(b);
    }
    for (uint8_t b : c.data) escapable += NeedsEscape(b);
    const size_t crcEscapes = wire.size() - (8 + c.data.size() + escapable);
    EXPECT_LE(crcEscapes, 2u);
    EXPECT_LE(wire.size(), kMaxFrameLength);

    const auto frames = Assemble(wire);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], wire);
    ParsedFrame frame;
    DataBuffer data{};
    ASSERT_TRUE(TQPParseFrame(wire, c.destination, frame, &data));
    EXPECT_EQ(frame.source, c.source);
    EXPECT_EQ(frame.control, c.control);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + frame.length), c.data);
  }
}

// Sweeps enough frames that CRC bytes of 0x1B and 0x7E occur and checks that
// those escapes are honoured too.
TEST(FrameTest, EscapedCrcBytesRoundTrip) {
  int escapedCrcs = 0;
  for (int value = 0; value < 256; ++value) {
    for (int second = 0; second < 64; ++second) {
      const Bytes data = {static_cast<uint8_t>(value), static_cast<uint8_t>(second)};
      const Bytes wire = Build(3, 4, 0x81, data);
      size_t escapable = 0;
      for (uint8_t b : data) escapable += NeedsEscape(b);
      if (wire.size() == 8 + 2 + escapable) continue;
      ++escapedCrcs;
      ASSERT_EQ(Assemble(wire), std::vector<Bytes>{wire});
      ParsedFrame frame;
      DataBuffer parsed{};
      ASSERT_TRUE(TQPParseFrame(wire, 4, frame, &parsed)) << value << "," << second;
      EXPECT_EQ(parsed[0], data[0]);
      EXPECT_EQ(parsed[1], data[1]);
    }
  }
  EXPECT_GT(escapedCrcs, 0);
}

TEST(FrameTest, ParserRejectsDamagedAndForeignFrames) {
  const Bytes good = Build(2, 1, 0x00, {0x10, 0x20, 0x30});
  struct Case {
    const char* what;
    Bytes raw;
    uint8_t ownNode;
  };
  std::vector<Case> cases = {
      {"wrong destination", good, 9},
      {"bad first start byte", good, 1},
      {"bad second start byte", good, 1},
      {"truncated", Bytes(good.begin(), good.end() - 1), 1},
      {"empty", {}, 1},
  };
  cases[1].raw[0] = 0x7F;
  cases[2].raw[1] = 0x00;
  for (size_t bit = 0; bit < 16; ++bit) {
    Bytes damaged = good;
    damaged[good.size() - 2 + bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    cases.push_back({"CRC bit", damaged, 1});
  }
  Bytes dataBit = good;
  dataBit[7] ^= 0x04;
  cases.push_back({"data bit", dataBit, 1});

  for (const Case& c : cases) {
    ParsedFrame frame;
    EXPECT_FALSE(TQPParseFrame(c.raw, c.ownNode, frame, nullptr)) << c.what;
  }
  ParsedFrame frame;
  EXPECT_TRUE(TQPParseFrame(good, 1, frame, nullptr));
}

TEST(FrameTest, StatusFollowsTheControlBitsInOrder) {
  const std::vector<std::pair<uint8_t, uint8_t>> cases = {
      {0x80, TQP_OK},          {0x83, TQP_OK},          {0xFF, TQP_FLAG_20},     {0xDF, TQP_FLAG_40},
      {0x9F, TQP_ABORTED},     {0x97, TQP_FLAG_10},     {0x87, TQP_PENDING},     {0x20, TQP_FLAG_20},
  };
  for (const auto& [controlByte, status] : cases) {
    ParsedFrame frame;
    ASSERT_TRUE(TQPParseFrame(Build(5, 6, controlByte, {}), 6, frame, nullptr));
    EXPECT_EQ(frame.status, status) << std::hex << int{controlByte};
  }
}

TEST(AssemblerTest, FindsFramesInAStreamByTheRules) {
  const Bytes frame = Build(2, 1, 0x01, {0x41, 0x42});
  const Bytes body(frame.begin() + 2, frame.end());
  const Bytes other = Build(3, 1, 0x00, {0x7E});
  struct Case {
    const char* what;
    Bytes stream;
    std::vector<Bytes> frames;
  };
  const std::vector<Case> cases = {
      {"plain", frame, {frame}},
      {"LEN 0 is 8 bytes", Build(2, 1, 0, {}), {Build(2, 1, 0, {})}},
      {"noise before", Concat({{0x00, 0x41, 0x7E, 0x13, 0x1B}, frame}), {frame}},
      {"start bytes repeated", Concat({{0x7E, 0x7E, 0x7E, 0x7E, 0x7E}, body}), {frame}},
      {"restart mid-frame", Concat({Bytes(frame.begin(), frame.begin() + 6), other}), {other}},
      {"lone 0x7E mid-frame needs a second one", Concat({Bytes(frame.begin(), frame.begin() + 5), {0x7E}, body}), {}},
      {"back to back", Concat({frame, other, frame}), {frame, other, frame}},
      {"escaped 0x7E does not restart", other, {other}},
  };
  for (const Case& c : cases) EXPECT_EQ(Assemble(c.stream), c.frames) << c.what;
}

TEST(AssemblerTest, NamesTheSourceByteEvenWhenEscaped) {
  for (uint8_t source : {uint8_t{0x05}, uint8_t{0x1B}, uint8_t{0x7E}}) {
    FrameAssembler assembler;
    std::vector<uint8_t> named;
    for (uint8_t byte : Build(source, 1, 0, {})) {
      if (assembler.Feed(byte) == FrameAssembler::Step::kSource) named.push_back(byte);
    }
    EXPECT_EQ(named, Bytes{source});
  }
}

TEST(AssemblerTest, HostileStreamsStayWithinTheFrameBuffer) {
  FrameAssembler assembler;
  for (int i = 0; i < 20000; ++i) EXPECT_EQ(assembler.Feed(0x7E), FrameAssembler::Step::kMore);
  EXPECT_EQ(assembler.Position(), 2u);

  // Escape pairs everywhere: every field byte escaped, LEN 0xFF.
  Bytes worst = {0x7E, 0x7E, 0x1B, 0x01, 0x1B, 0x02, 0x1B, 0x03, 0x1B, 0xFF};
  for (int i = 0; i < 257; ++i) worst.insert(worst.end(), {0x1B, 0x1B});
  assembler.Reset();
  size_t fed = 0;
  bool complete = false;
  for (uint8_t byte : worst) {
    ++fed;
    if (assembler.Feed(byte) == FrameAssembler::Step::kComplete) {
      complete = true;
      break;
    }
  }
  EXPECT_TRUE(complete);
  EXPECT_EQ(fed, kMaxFrameLength);
  EXPECT_EQ(assembler.Position(), kMaxFrameLength);
}

}  // namespace
}  // namespace trk::tqp
