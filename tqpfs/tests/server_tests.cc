// The serving node's dispatcher over a temporary folder, without a link: every
// request answered, paths kept inside the folder, records and key values in
// pieces, the clock guarded.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "okv/okv.h"
#include "tqpfs/server.h"

namespace trk::tqpfs {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr Bytes::value_type kRefused = 1;
const Bytes kFailed16 = {0xFF, 0xFF};

FieldWriter Req(Op op) {
  FieldWriter out;
  out.U8(static_cast<uint8_t>(op));
  return out;
}

class FileServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tqpfs-server-XXXXXX";
    base_ = ::mkdtemp(pattern);
    ::setenv("TRK_LOCK_DIR", base_.c_str(), 1);
    fs::create_directories(base_ / "root/sub");
    fs::create_directories(base_ / "outside");
    std::ofstream(base_ / "outside/secret") << "secret";
    fs::create_directory_symlink(base_ / "outside", base_ / "root/out");
    fs::create_symlink(base_ / "outside/secret", base_ / "root/secret-link");
    Start(ServerOptions{});
  }
  void TearDown() override {
    server_.reset();
    ::unsetenv("TRK_LOCK_DIR");
    fs::remove_all(base_);
  }

  void Start(ServerOptions options) {
    server_.reset();
    server_ = std::make_unique<FileServer>(*ServedFolder::Open((base_ / "root").string()), options);
  }

  Bytes Ask(const Bytes& request) {
    const FieldWriter answer = server_->Answer(request);
    return Bytes(answer.bytes().begin(), answer.bytes().end());
  }
  Bytes Ask(const FieldWriter& request) { return Ask(Bytes(request.bytes().begin(), request.bytes().end())); }

  // A finalized database file of `recordSize` bytes whose key 0 (bytes) spans `keyLength` bytes, opened.
  uint16_t OpenDatabase(const char* name, uint16_t recordSize, uint16_t keyLength) {
    FieldWriter create = Req(Op::kOkvCreateFile);
    create.U16(OKV_OPEN_FLAGS_DEFAULT).U16(recordSize).U8(0).Zeros(32).PaddedText("test", 32).U16(1).Text(name);
    EXPECT_EQ(Ask(create), Bytes{0});
    FieldWriter key = Req(Op::kOkvCreateKey);
    key.U8(OKV_KEY_BYTES).U16(0).U16(keyLength).Text(name);
    EXPECT_EQ(Ask(key), (Bytes{0, 0, 0}));
    FieldWriter finalize = Req(Op::kOkvFinalizeCreate);
    finalize.Text(name);
    EXPECT_EQ(Ask(finalize), Bytes{0});
    FieldWriter open = Req(Op::kOkvOpenFile);
    open.U8(1).Text(name);
    const Bytes opened = Ask(open);
    EXPECT_EQ(opened.size(), 3u);
    return opened.size() == 3 ? static_cast<uint16_t>(opened[1] | opened[2] << 8) : 0;
  }

  fs::path base_;
  std::unique_ptr<FileServer> server_;
};

TEST_F(FileServerTest, EveryRequestOfAnyLengthIsAnswered) {
  for (int code = 0; code <= 255; ++code) {
    for (size_t length : {0, 1, 2, 3, 5, 8, 40, 254}) {
      for (int fill : {0x00, 0xFF, int{'a'}}) {
        Bytes request(length + 1, static_cast<uint8_t>(fill));
        request[0] = static_cast<uint8_t>(code);
        const Bytes answer = Ask(request);
        ASSERT_GE(answer.size(), 1u) << "code " << code << " length " << length;
        ASSERT_LE(answer.size(), 255u);
      }
    }
  }
  EXPECT_EQ(Ask(Bytes{}), Bytes{kRefused});
  EXPECT_EQ(Ask(Bytes{100}), Bytes{kRefused}) << "unknown code";
  EXPECT_EQ(Ask(Bytes{242, 0}), kFailed16) << "open without its fields";
  EXPECT_EQ(Ask(Bytes{248, 1}), (Bytes{0xFF, 0xFF, 0xFF, 0xFF})) << "lseek answers a 32-bit position";
  EXPECT_EQ(Ask(Bytes{27}), Bytes{kRefused}) << "file information without a handle";
  EXPECT_EQ(Ask(Bytes{26, 'x'}), (Bytes{0, 0})) << "file exists: no";
}

TEST_F(FileServerTest, PathsThatLeaveTheFolderAreRefused) {
  std::ofstream(base_ / "root/sub/kept") << "kept";
  const auto path = [](Op op, const std::string& text) {
    FieldWriter request = Req(op);
    if (op == Op::kOpen) request.U16(0).U16(0x180);
    if (op == Op::kCreat) request.U16(0x180);
    if (op == Op::kFirst) request.U32(0x8010);
    request.Text(text);
    return request;
  };
  struct Case {
    Op op;
    const char* path;
  };
  const Case refused[] = {
      {Op::kOpen, "../outside/secret"}, {Op::kOpen, "/etc/passwd"},    {Op::kOpen, "out/secret"},
      {Op::kOpen, "secret-link"},       {Op::kOpen, "C:\\secret"},     {Op::kCreat, "out/new"},
      {Op::kMakeDir, "out/new-dir"},    {Op::kRemove, "out/secret"},   {Op::kGetAttrib, "out"},
      {Op::kGetDate, "secret-link"},    {Op::kChangeDir, "out"},       {Op::kChangeDir, ".."},
      {Op::kRemoveDir, "/"},            {Op::kRemove, ""},             {Op::kFirst, "out/*"},
      {Op::kFirst, "../*"},
  };
  for (const Case& c : refused) {
    EXPECT_EQ(Ask(path(c.op, c.path)), kFailed16) << static_cast<int>(c.op) << " " << c.path;
  }
  FieldWriter rename = Req(Op::kRename);
  rename.Text("sub/kept").Text("out/kept");
  EXPECT_EQ(Ask(rename), kFailed16);
  FieldWriter setDate = Req(Op::kSetDate);
  setDate.U16(2020).U8(1).U8(1).U8(0).U8(0).U8(0).Text("secret-link");
  EXPECT_EQ(Ask(setDate), kFailed16);

  FieldWriter openDatabase = Req(Op::kOkvOpenFile);
  openDatabase.U8(1).Text("out/secret");
  EXPECT_EQ(Ask(openDatabase), Bytes{kRefused});
  FieldWriter deleteDatabase = Req(Op::kOkvDeleteFile);
  deleteDatabase.Text("../outside/secret");
  EXPECT_EQ(Ask(deleteDatabase), Bytes{kRefused});
  FieldWriter exists = Req(Op::kOkvFileExists);
  exists.Text("out/secret");
  EXPECT_EQ(Ask(exists), (Bytes{0, 0}));

  EXPECT_TRUE(fs::exists(base_ / "outside/secret"));
  EXPECT_TRUE(fs::exists(base_ / "root/sub/kept"));
  EXPECT_FALSE(fs::exists(base_ / "outside/new"));
  EXPECT_FALSE(fs::exists(base_ / "outside/new-dir"));

  // A search of the folder does not show the links that lead out.
  Bytes listing = Ask(path(Op::kFirst, "*"));
  std::vector<std::string> names;
  while (listing.size() > 2 && listing[0] == 0 && listing[1] == 0) {
    const size_t nameAt = names.empty() ? 31 : 27;
    names.emplace_back(reinterpret_cast<const char*>(listing.data() + nameAt));
    const int32_t handle = listing[2] | listing[3] << 8;
    if (names.size() == 1) {
      FieldWriter next = Req(Op::kNext);
      next.I32(handle);
      listing = Ask(next);
      for (int more = 0; more < 10 && listing.size() > 2 && listing[0] == 0; ++more) {
        names.emplace_back(reinterpret_cast<const char*>(listing.data() + 27));
        listing = Ask(next);
      }
    }
  }
  EXPECT_EQ(names, std::vector<std::string>{"sub"});
}

TEST_F(FileServerTest, RecordsAndKeyValuesArriveAndLeaveInPieces) {
  const uint16_t handle = OpenDatabase("big.okv", 300, 300);
  ASSERT_NE(handle, 0);
  Bytes record(300);
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i * 7 + 1);

  const auto piece = [&](Op op, size_t offset, size_t length) {
    FieldWriter request = Req(op);
    request.U16(handle).U16(static_cast<uint16_t>(offset)).Bytes({record.data() + offset, length});
    return Ask(request);
  };
  EXPECT_EQ(piece(Op::kOkvCreateRec, 0, 250), Bytes{0});
  EXPECT_EQ(piece(Op::kOkvCreateRec, 250, 50), Bytes{0}) << "the last piece adds the record";
  EXPECT_EQ(piece(Op::kOkvCreateRec, 100, 10), Bytes{kRefused}) << "a piece out of order";
  EXPECT_EQ(piece(Op::kOkvCreateRec, 0, 250), Bytes{0});
  EXPECT_EQ(piece(Op::kOkvUpdateRec, 250, 50), Bytes{kRefused}) << "pieces of another operation";
  EXPECT_EQ(piece(Op::kOkvCreateRec, 0, 250), Bytes{0});
  FieldWriter tooLong = Req(Op::kOkvCreateRec);
  tooLong.U16(handle).U16(250).Bytes(Bytes(51, 0));
  EXPECT_EQ(Ask(tooLong), Bytes{kRefused}) << "more than the record";

  FieldWriter lowest = Req(Op::kOkvReadRecLO);
  lowest.U16(handle).U16(0);
  Bytes first = Ask(lowest);
  ASSERT_EQ(first.size(), 255u);
  EXPECT_EQ(first[0], 0);
  FieldWriter rest = Req(Op::kOkvContinueRead);
  rest.U16(handle).U16(254);
  const Bytes second = Ask(rest);
  ASSERT_EQ(second.size(), 47u);
  first.insert(first.end(), second.begin() + 1, second.end());
  EXPECT_EQ(Bytes(first.begin() + 1, first.end()), record);
  FieldWriter beyond = Req(Op::kOkvContinueRead);
  beyond.U16(handle).U16(300);
  EXPECT_EQ(Ask(beyond), Bytes{kRefused});

  // The key value: 248 bytes answered by a lone 0, then 52 bytes answered by the record.
  const auto keyPiece = [&](size_t offset, size_t length) {
    FieldWriter request = Req(Op::kOkvReadRecEQ);
    request.U16(handle).U16(0).U16(static_cast<uint16_t>(offset)).Bytes({record.data() + offset, length});
    return Ask(request);
  };
  EXPECT_EQ(keyPiece(0, 248), Bytes{0});
  const Bytes found = keyPiece(248, 52);
  ASSERT_EQ(found.size(), 255u);
  EXPECT_EQ(Bytes(found.begin() + 1, found.end()), Bytes(record.begin(), record.begin() + 254));
  EXPECT_EQ(keyPiece(248, 52), Bytes{kRefused}) << "a last piece without its first";

  FieldWriter close = Req(Op::kOkvCloseFile);
  close.U16(handle);
  EXPECT_EQ(Ask(close), Bytes{0});
  EXPECT_EQ(Ask(lowest), Bytes{kRefused}) << "a handle the service no longer has";
}

TEST_F(FileServerTest, ServiceRequestsAndTheClock) {
  const Bytes product = Ask(Bytes{0});
  ASSERT_GE(product.size(), 3u);
  EXPECT_EQ(product[0], 0);
  EXPECT_EQ(product[1], kProductCode);
  EXPECT_STREQ(reinterpret_cast<const char*>(product.data() + 2), kProductText);
  for (uint8_t code : {1, 4, 5}) EXPECT_EQ(Ask(Bytes{code}), Bytes{0}) << int(code);
  EXPECT_EQ(Ask(Bytes{2, 7, 0}), Bytes{0});
  EXPECT_EQ(Ask(Bytes{3}), (Bytes{0, 0, 0, 0, 0}));
  FieldWriter create = Req(Op::kCreat);
  create.U16(0x180).Text("sub/new");
  EXPECT_EQ(Ask(create), (Bytes{3, 0}));
  EXPECT_EQ(Ask(Bytes{3}), (Bytes{0, 1, 0, 0, 0})) << "one file written through the service";

  const Bytes clock = Ask(Bytes{229});
  ASSERT_EQ(clock.size(), 9u);
  EXPECT_EQ(clock[0], 0);
  EXPECT_GE(clock[2] | clock[3] << 8, 2024);

  FieldWriter setClock = Req(Op::kSetOsDate);
  setClock.U16(2030).U8(1).U8(1).U8(0).U8(0).U8(0);
  EXPECT_EQ(Ask(setClock), kFailed16) << "refused without --allow-clock";
  Start(ServerOptions{.allowClockSetting = true});
  FieldWriter badDate = Req(Op::kSetOsDate);
  badDate.U16(2030).U8(2).U8(30).U8(0).U8(0).U8(0);
  EXPECT_EQ(Ask(badDate), kFailed16) << "30 February";
}

}  // namespace
}  // namespace trk::tqpfs
