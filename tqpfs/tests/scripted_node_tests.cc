// The client against a scripted node that answers with chosen bytes: the exact
// requests on the wire (pieces, continuations, sizes), answers of the wrong
// length, pending answers, and the link's results passed through.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tqpfs/tests/api_test_support.h"

namespace trk::tqpfs::testing {
namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Pattern(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
  return bytes;
}

class ScriptedNodeTest : public ::testing::Test {
 protected:
  void SetUp() override { script_.Install(); }

  // The replies that open a database file of `recordSize` bytes under handle_.
  std::vector<Reply> OpenReplies(uint16_t recordSize) const {
    return {Ok(LittleEndian16(handle_)), FileInfoReply(recordSize)};
  }
  // A request of `code` on handle_, then `rest`.
  Bytes OnHandle(uint8_t code, const Bytes& rest = {}) const {
    return Concat({{code}, LittleEndian16(handle_), rest});
  }
  uint16_t OpenScripted() {
    uint16_t handle = 0;
    EXPECT_EQ(TQPOKVOpenFile(kServerNode, nullptr, "F.okv", 1, &handle), OKV_SUCCESS);
    return handle;
  }

  WorkFolder work_;
  ScriptedNode script_;
  const uint16_t handle_ = FreshHandle();
};

TEST_F(ScriptedNodeTest, RecordOf251BytesGoesAs250And1) {
  std::vector<Reply> replies = OpenReplies(251);
  replies.insert(replies.end(), {Ok(), Ok()});
  script_.Play(replies);
  const uint16_t handle = OpenScripted();
  const Bytes record = Pattern(251);
  EXPECT_EQ(TQPOKVCreateRec(kServerNode, nullptr, handle, record.data()), OKV_SUCCESS);
  const std::vector<Bytes> requests = script_.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0], Concat({{32, 1}, {'F', '.', 'o', 'k', 'v', 0}}));
  EXPECT_EQ(requests[1], OnHandle(27));
  EXPECT_EQ(requests[2], OnHandle(22, Concat({{0, 0}, Bytes(record.begin(), record.begin() + 250)})));
  EXPECT_EQ(requests[3], OnHandle(22, Concat({{250, 0}, Bytes(record.begin() + 250, record.end())})));
}

TEST_F(ScriptedNodeTest, RecordOf250BytesGoesWhole) {
  std::vector<Reply> replies = OpenReplies(250);
  replies.push_back(Reply{{15}});
  script_.Play(replies);
  const uint16_t handle = OpenScripted();
  EXPECT_EQ(TQPOKVUpdateRec(kServerNode, nullptr, handle, Pattern(250).data()), OKV_DUPLICATE_KEY)
      << "the engine's code comes back";
  const std::vector<Bytes> requests = script_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].size(), 255u);
  EXPECT_EQ(requests[2][0], 46);
}

TEST_F(ScriptedNodeTest, RecordOf300BytesComesAs254ThenAContinuationOf46) {
  const Bytes record = Pattern(300);
  std::vector<Reply> replies = OpenReplies(300);
  replies.push_back(Ok(Bytes(record.begin(), record.begin() + 254)));
  replies.push_back(Ok(Bytes(record.begin() + 254, record.end())));
  script_.Play(replies);
  const uint16_t handle = OpenScripted();
  Bytes read(300);
  EXPECT_EQ(TQPOKVReadRecNX(kServerNode, nullptr, handle, 2, read.data()), OKV_SUCCESS);
  EXPECT_EQ(read, record);
  const std::vector<Bytes> requests = script_.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[2], OnHandle(43, {2, 0}));
  EXPECT_EQ(requests[3], OnHandle(33, {254, 0}));
}

TEST_F(ScriptedNodeTest, KeyValueOf300BytesGoesAs248And52) {
  const Bytes key = Pattern(300);
  const Bytes record = Pattern(20);
  std::vector<Reply> replies = OpenReplies(20);
  replies.push_back(Ok({0, 0, 0x2C, 0x01, OKV_KEY_BYTES}));  // key 3: offset 0, length 300
  replies.push_back(Ok());
  replies.push_back(Ok(record));
  script_.Play(replies);
  const uint16_t handle = OpenScripted();
  Bytes read(20);
  EXPECT_EQ(TQPOKVReadRecGE(kServerNode, nullptr, handle, 3, key.data(), read.data()), OKV_SUCCESS);
  EXPECT_EQ(read, record);
  const std::vector<Bytes> requests = script_.Requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[2], OnHandle(30, {3, 0}));
  EXPECT_EQ(requests[3], OnHandle(36, Concat({{3, 0, 0, 0}, Bytes(key.begin(), key.begin() + 248)})));
  EXPECT_EQ(requests[4], OnHandle(36, Concat({{3, 0, 248, 0}, Bytes(key.begin() + 248, key.end())})));
}

TEST_F(ScriptedNodeTest, KeyPieceAnsweredWithMoreThanAZeroIsABadReply) {
  std::vector<Reply> replies = OpenReplies(20);
  replies.push_back(Ok({0, 0, 0x2C, 0x01, OKV_KEY_BYTES}));
  replies.push_back(Ok({1, 2}));
  script_.Play(replies);
  const uint16_t handle = OpenScripted();
  Bytes read(20);
  EXPECT_EQ(TQPOKVReadRecEQ(kServerNode, nullptr, handle, 0, Pattern(300).data(), read.data()), TQP_BAD_REPLY);
}

// Each case opens a 300-byte file and gives one read answers of its choice.
TEST(ScriptedReadTest, RecordAnswersOfTheWrongShapeAreBadReplies) {
  const Bytes record = Pattern(300);
  struct Case {
    const char* what;
    std::vector<Reply> answers;
    uint8_t result;
  };
  const Case cases[] = {
      {"a zero result without data", {Ok()}, TQP_BAD_REPLY},
      {"a non-zero result with data", {Reply{{10, 1, 2}}}, TQP_BAD_REPLY},
      {"a lone non-zero result", {Reply{{10}}}, OKV_RECORD_NOT_FOUND},
      {"a continuation that runs past the record", {Ok(Bytes(254, 1)), Ok(Bytes(47, 2))}, TQP_BAD_REPLY},
      {"a continuation of a lone zero", {Ok(Bytes(254, 1)), Ok()}, TQP_BAD_REPLY},
      {"a continuation of a lone failure", {Ok(Bytes(254, 1)), Reply{{11}}}, OKV_FILE_CORRUPTED},
      {"smaller pieces", {Ok(Bytes(100, 1)), Ok(Bytes(100, 2)), Ok(Bytes(100, 3))}, OKV_SUCCESS},
  };
  for (const Case& c : cases) {
    WorkFolder work;
    ScriptedNode script;
    script.Install();
    std::vector<Reply> replies = {Ok(LittleEndian16(FreshHandle())), FileInfoReply(300)};
    replies.insert(replies.end(), c.answers.begin(), c.answers.end());
    script.Play(replies);
    uint16_t handle = 0;
    ASSERT_EQ(TQPOKVOpenFile(kServerNode, nullptr, "F.okv", 1, &handle), OKV_SUCCESS) << c.what;
    Bytes read(300);
    EXPECT_EQ(TQPOKVReadRecLO(kServerNode, nullptr, handle, 0, read.data()), c.result) << c.what;
    script.Requests();
  }
}

// One exchange each: the answer given, and what the call makes of it.
TEST(ScriptedAnswerTest, AnswersOfUnexpectedLength) {
  struct Case {
    const char* what;
    Reply reply;
    std::function<uint8_t()> call;
    uint8_t result;
  };
  int value = 77;
  char text[255] = {};
  uint8_t buffer[300];
  OKVFileInfoBuf info{};
  uint16_t handle = 0;
  const Case cases[] = {
      {"file information of 83 bytes", Ok(Bytes(82, 0)),
       [&] { return TQPOKVFileInfo(kServerNode, nullptr, 1, &info); }, TQP_BAD_REPLY},
      {"file information of 84 bytes", Ok(Bytes(83, 0)),
       [&] { return TQPOKVFileInfo(kServerNode, nullptr, 1, &info); }, OKV_SUCCESS},
      {"compare of 2 bytes", Reply{{0, 0}}, [&] { return TQPcompare(kServerNode, nullptr); }, TQP_BAD_REPLY},
      {"compare of 1 byte", Reply{{7}}, [&] { return TQPcompare(kServerNode, nullptr); }, 7},
      {"open of a short handle", Ok({5}), [&] { return TQPOKVOpenFile(kServerNode, nullptr, "F", 1, &handle); },
       TQP_BAD_REPLY},
      {"file exists of 1 byte", Reply{{1}}, [&] { return TQPOKVFileExists(kServerNode, nullptr, "F", &value); },
       TQP_BAD_REPLY},
      {"download count of 1 zero byte", Ok(), [&] { return TQPdownloadCount(kServerNode, nullptr, &value); },
       TQP_BAD_REPLY},
      {"download count refused", Reply{{4}}, [&] { return TQPdownloadCount(kServerNode, nullptr, &value); }, 4},
      {"an i16 result of 1 byte", Reply{{0}}, [&] { return TQPmdir(kServerNode, nullptr, "d", &value); },
       TQP_BAD_REPLY},
      {"a read giving more than asked", Reply{Concat({{11, 0}, Bytes(11, 1)})},
       [&] { return TQPread(kServerNode, nullptr, 3, buffer, 10, &value); }, TQP_BAD_REPLY},
      {"a read giving less than it says", Reply{Concat({{10, 0}, Bytes(9, 1)})},
       [&] { return TQPread(kServerNode, nullptr, 3, buffer, 10, &value); }, TQP_BAD_REPLY},
      {"a directory text with a byte after it", Reply{{0, 0, 'a', 0, 'b'}},
       [&] { return TQPgdir(kServerNode, nullptr, 0, text, &value); }, TQP_BAD_REPLY},
      {"a lseek position of 3 bytes", Reply{{1, 0, 0}},
       [&] { return TQPlseek(kServerNode, nullptr, 3, 0, 0, &value); }, TQP_BAD_REPLY},
      {"flag 0x20 on the answer", Reply{{0, 0}, 0x20}, [&] { return TQPmdir(kServerNode, nullptr, "d", &value); },
       TQP_FLAG_20},
      {"flag 0x40 on the answer", Reply{{0, 0}, 0x40}, [&] { return TQPmdir(kServerNode, nullptr, "d", &value); },
       TQP_FLAG_40},
      {"silence", Reply{{}, 0, true}, [&] { return TQPmdir(kServerNode, nullptr, "d", &value); }, TQP_NO_ANSWER},
  };
  for (const Case& c : cases) {
    WorkFolder work;
    ScriptedNode script;
    script.Install();
    script.Play({c.reply});
    value = 77;
    EXPECT_EQ(c.call(), c.result) << c.what;
    if (c.result >= TQP_FLAG_10) {
      EXPECT_EQ(value, 77) << c.what << ": out-argument untouched";
    }
    script.Requests();
  }
}

TEST_F(ScriptedNodeTest, PendingAnswerIsCheckedUntilItComes) {
  script_.Play({Reply{{}, 0x04}, Reply{{}, 0x04}, Reply{{0x2A, 0}}});
  int result = 0;
  EXPECT_EQ(TQPmdir(kServerNode, nullptr, "slow", &result), TQP_OK);
  EXPECT_EQ(result, 0x2A);
  const std::vector<Bytes> requests = script_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1], Bytes{}) << "a check carries no data";
}

TEST_F(ScriptedNodeTest, RequestsThatDoNotFitAreNotSent) {
  int handle = 77, result = 77;
  EXPECT_EQ(TQPopen(kServerNode, nullptr, std::string(250, 'p').c_str(), 0, 0, &handle), TQP_FLAG_20);
  EXPECT_EQ(TQPcreat(kServerNode, nullptr, std::string(252, 'p').c_str(), 0, &handle), TQP_FLAG_20);
  EXPECT_EQ(TQPremove(kServerNode, nullptr, std::string(254, 'p').c_str(), &result), TQP_FLAG_20);
  EXPECT_EQ(TQPsetdate(kServerNode, nullptr, std::string(247, 'p').c_str(), 2020, 1, 1, 0, 0, 0, &result),
            TQP_FLAG_20);
  EXPECT_EQ(TQPrename(kServerNode, nullptr, std::string(200, 'p').c_str(), std::string(53, 'q').c_str(), &result),
            TQP_FLAG_20);
  const Bytes data(251, 0);
  EXPECT_EQ(TQPwrite(kServerNode, nullptr, 3, data.data(), 251, &result), TQP_FLAG_20);
  uint16_t number = 0;
  EXPECT_EQ(TQPOKVCreateFile(kServerNode, nullptr, std::string(183, 'n').c_str(), 0, 10, 0, nullptr, "", 0),
            OKV_PARAMETER);
  EXPECT_EQ(TQPOKVCreateKey(kServerNode, nullptr, std::string(249, 'n').c_str(), 0, 0, 1, &number), OKV_PARAMETER);
  EXPECT_EQ(TQPOKVOpenFile(kServerNode, nullptr, std::string(253, 'n').c_str(), 1, &number), OKV_PARAMETER);
  EXPECT_EQ(TQPOKVDeleteFile(kServerNode, nullptr, std::string(254, 'n').c_str()), OKV_PARAMETER);
  EXPECT_EQ(TQPOKVCreateFile(kServerNode, nullptr, "n", 0, 10, 0, nullptr, std::string(32, 't').c_str(), 0),
            OKV_PARAMETER);
  EXPECT_EQ(TQPOKVCreateFile(kServerNode, nullptr, "n", 0, 10, 1, nullptr, "", 0), OKV_PARAMETER)
      << "enciphered without a record key";
  EXPECT_EQ(TQPOKVSetFileName(kServerNode, nullptr, 1, std::string(32, 't').c_str()), OKV_PARAMETER);
  uint8_t record[10];
  EXPECT_EQ(TQPOKVReadRec(kServerNode, nullptr, 1, record), OKV_PARAMETER) << "a file this library did not open";
  EXPECT_EQ(handle, 77);
  EXPECT_FALSE(script_.Contacted(50)) << "nothing was sent";

  // At the limit the request fills the frame.
  script_.Play({Reply{{4, 0}}});
  EXPECT_EQ(TQPopen(kServerNode, nullptr, std::string(249, 'p').c_str(), 0, 0, &handle), TQP_OK);
  EXPECT_EQ(handle, 4);
  const std::vector<Bytes> requests = script_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].size(), 255u);
}

TEST_F(ScriptedNodeTest, CloseForgetsTheFileWhateverTheAnswer) {
  std::vector<Reply> replies = OpenReplies(10);
  replies.push_back(Reply{{7}});
  script_.Play(replies);
  const uint16_t handle = OpenScripted();
  EXPECT_EQ(TQPOKVCloseFile(kServerNode, nullptr, handle), OKV_CLOSE_ERROR);
  uint8_t record[10];
  EXPECT_EQ(TQPOKVReadRec(kServerNode, nullptr, handle, record), OKV_PARAMETER) << "no longer in the list";
  EXPECT_EQ(script_.Requests().size(), 3u);
}

TEST_F(ScriptedNodeTest, OpenWhoseInformationFailsClosesTheRemoteFile) {
  script_.Play({Ok(LittleEndian16(handle_)), Reply{{OKV_FILE_CORRUPTED}}, Ok()});
  uint16_t handle = 0;
  EXPECT_EQ(TQPOKVOpenFile(kServerNode, nullptr, "F.okv", 1, &handle), OKV_FILE_CORRUPTED);
  EXPECT_EQ(handle, 0);
  const std::vector<Bytes> requests = script_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2], OnHandle(18));
}

TEST_F(ScriptedNodeTest, FoundEntriesAreCopiedWithinTheirFields) {
  // A name that runs to the end of the answer without its terminator.
  const Bytes answer = Concat({{0, 0, 9, 0, 0, 0, 0x20, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0},
                               {'S', 'H', 'O', 'R', 'T', 'N', 'A', 'M', 'E', '.', 'T', 'X', 'T'},
                               Bytes(224, 'L')});
  script_.Play({Reply{answer}});
  int handle = 0;
  int16_t result = 77;
  TQPFindInfo info{};
  ASSERT_EQ(TQPfirst(kServerNode, nullptr, "*", TQP_FIND_FILES, &handle, &info, &result), TQP_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(handle, 9);
  // Packed fields are copied (unary +) before gtest takes a reference to them.
  EXPECT_EQ(+info.size, 5u);
  EXPECT_STREQ(info.shortName, "SHORTNAME.TX") << "12 characters and the terminator";
  EXPECT_EQ(std::string(info.longName), std::string(223, 'L'));
  script_.Requests();
}

}  // namespace
}  // namespace trk::tqpfs::testing
