// Request layouts: what the serving node decodes from given bytes, what it
// refuses, and the frame limits that decide which requests a client can send.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tqpfs/fields.h"
#include "tqpfs/layouts.h"
#include "tqpfs/request.h"

namespace trk::tqpfs {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Text(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// The decoded texts and data point into the request bytes, which must outlive them.
TEST(DecodeRequestTest, FieldsOfEachLayout) {
  Request r;
  const Bytes request1 = Concat({{242, 0x02, 0x81, 0x80, 0x01}, Text("DATA/X.DAT")});
  ASSERT_EQ(DecodeRequest(request1, r), DecodeStatus::kOk);
  EXPECT_EQ(r.op, Op::kOpen);
  EXPECT_EQ(r.openFlags, 0x8102);
  EXPECT_EQ(r.permission, 0x0180);
  EXPECT_EQ(r.path, "DATA/X.DAT");

  const Bytes request2 = Bytes{247, 7, 0, 3, 0, 'a', 'b', 'c', 'x'};
  ASSERT_EQ(DecodeRequest(request2, r), DecodeStatus::kOk);
  EXPECT_EQ(r.handle, 7);
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(Bytes(r.data.begin(), r.data.end()), (Bytes{'a', 'b', 'c'})) << "bytes past the count are not data";

  const Bytes request3 = Bytes{248, 3, 0, 2, 0, 0xFE, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(DecodeRequest(request3, r), DecodeStatus::kOk);
  EXPECT_EQ(r.origin, 2);
  EXPECT_EQ(r.seekOffset, -2);

  const Bytes request4 = Concat({{255}, Text("OLD"), Text("NEW")});
  ASSERT_EQ(DecodeRequest(request4, r), DecodeStatus::kOk);
  EXPECT_EQ(r.path, "OLD");
  EXPECT_EQ(r.secondPath, "NEW");

  const Bytes request5 = Concat({{235, 0xE8, 0x07, 12, 31, 23, 59, 58}, Text("F")});
  ASSERT_EQ(DecodeRequest(request5, r), DecodeStatus::kOk);
  EXPECT_EQ(r.date.year, 2024);
  EXPECT_EQ(r.date.month, 12);
  EXPECT_EQ(r.date.second, 58);
  EXPECT_EQ(r.path, "F");

  const Bytes request6 = Bytes{36, 4, 0, 1, 0, 248, 0, 'k'};
  ASSERT_EQ(DecodeRequest(request6, r), DecodeStatus::kOk);
  EXPECT_EQ(r.handle, 4);
  EXPECT_EQ(r.keyNumber, 1);
  EXPECT_EQ(r.pieceOffset, 248);
  EXPECT_EQ(r.data.size(), 1u);

  const Bytes createFile =
      Concat({{20, 0x02, 0x80, 100, 0, 1}, Bytes(32, 0xAA), Text("Tanks"), Bytes(26, 0), {9, 0}, Text("T.okv")});
  ASSERT_EQ(DecodeRequest(createFile, r), DecodeStatus::kOk);
  EXPECT_EQ(r.recordSize, 100);
  EXPECT_EQ(r.encrypted, 1);
  EXPECT_EQ(r.recordKey.size(), 32u);
  EXPECT_EQ(r.recordKey[31], 0xAA);
  EXPECT_EQ(r.fileNameText[0], 'T');
  EXPECT_EQ(r.fileId, 9);
  EXPECT_EQ(r.path, "T.okv");
}

TEST(DecodeRequestTest, RefusesWhatIsNotAllThere) {
  struct Case {
    const char* what;
    Bytes bytes;
    DecodeStatus status;
  };
  const Case cases[] = {
      {"empty", {}, DecodeStatus::kEmpty},
      {"a code between the groups", {6}, DecodeStatus::kUnknownCode},
      {"a code below the file operations", {227, 0}, DecodeStatus::kUnknownCode},
      {"a code after the database operations", {51}, DecodeStatus::kUnknownCode},
      {"path without its terminator", {245, 'a', 'b'}, DecodeStatus::kMalformed},
      {"second path missing", Concat({{255}, Text("OLD")}), DecodeStatus::kMalformed},
      {"half a handle", {243, 1}, DecodeStatus::kMalformed},
      {"write count beyond the data", {247, 1, 0, 5, 0, 'a'}, DecodeStatus::kMalformed},
      {"record key cut short", Concat({{50, 1, 0}, Bytes(31, 0)}), DecodeStatus::kMalformed},
      {"date cut short", {230, 0xE8, 0x07, 1}, DecodeStatus::kMalformed},
  };
  for (const Case& c : cases) {
    Request r;
    EXPECT_EQ(DecodeRequest(c.bytes, r), c.status) << c.what;
  }
  EXPECT_TRUE(IsKnownOp(0));
  EXPECT_TRUE(IsKnownOp(33));
  EXPECT_FALSE(IsKnownOp(51));
}

// The size limits of requests are the frame's 255 bytes: a path of 249
// characters fills an open request exactly.
TEST(FieldWriterTest, FrameLimitsDecideWhatFits) {
  struct Case {
    const char* what;
    size_t fixed;  // code and fields before the texts
    std::vector<size_t> texts;
    bool fits;
  };
  const Case cases[] = {
      {"open, 249", 5, {249}, true},       {"open, 250", 5, {250}, false},
      {"remove, 253", 1, {253}, true},     {"remove, 254", 1, {254}, false},
      {"set date, 246", 8, {246}, true},   {"set date, 247", 8, {247}, false},
      {"rename, 126 + 126", 1, {126, 126}, true},
      {"rename, 252 + 0", 1, {252, 0}, true},
      {"rename, 200 + 53", 1, {200, 53}, false},
  };
  for (const Case& c : cases) {
    FieldWriter out;
    out.Zeros(c.fixed);
    for (size_t length : c.texts) out.Text(std::string(length, 'p'));
    EXPECT_EQ(!out.overflowed(), c.fits) << c.what;
    EXPECT_LE(out.size(), kFrameDataSize) << c.what;
  }
}

TEST(LayoutsTest, FileInfoAndFoundEntryTravelWhole) {
  OKVFileInfoBuf info{};
  info.version = 0x010A;
  info.recordCount = 10000;
  info.recordSize = 300;
  info.storedKey[31] = 0x5A;
  std::snprintf(info.fileName, sizeof info.fileName, "%s", "Customer file");
  FieldWriter out;
  WriteFileInfo(out, info);
  ASSERT_EQ(out.size(), kFileInfoSize);
  FieldReader in(out.bytes());
  const OKVFileInfoBuf back = ReadFileInfo(in);
  EXPECT_EQ(std::memcmp(&back, &info, sizeof info), 0);

  // The longest name fills the answer of a first search to its last byte.
  FoundEntry entry{0x20, 1700000000, 12345, std::string(kLongNameLimit, 'n')};
  FieldWriter answer;
  answer.I16(0).I32(7);
  WriteFoundEntry(answer, entry);
  EXPECT_FALSE(answer.overflowed());
  EXPECT_EQ(answer.size(), kFrameDataSize);
  FieldReader reader(answer.bytes().subspan(6));
  const FoundEntryFields found = ReadFoundEntry(reader);
  EXPECT_EQ(found.entry.name, entry.name);
  EXPECT_EQ(found.shortName, std::string(12, 'n'));
  EXPECT_EQ(found.entry.size, 12345u);

  // A name without its terminator at the end of an answer is taken as far as it goes.
  const Bytes cut = Concat({Bytes(12, 0), {'S', 'H', 'O', 'R', 'T', 0, 0, 0, 0, 0, 0, 0, 0}, {'l', 'o', 'n'}});
  FieldReader cutReader(cut);
  EXPECT_EQ(ReadFoundEntry(cutReader).entry.name, "lon");
}

}  // namespace
}  // namespace trk::tqpfs
