// The database operations with the same results on this machine (node
// 0xFFFF) and on a serving node over loopback TCP and over a serial link:
// the engine's codes pass through, and records and key values longer than one
// frame travel in pieces.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tqpfs/tests/api_test_support.h"

namespace trk::tqpfs::testing {
namespace {

// A record of the test files: a number key at 0, a text key at 4.
constexpr uint16_t kSmallRecord = 100;
constexpr uint16_t kTextKeyLength = 20;

Bytes SmallRecord(uint32_t number, const std::string& text) {
  Bytes record(kSmallRecord, 0);
  std::memcpy(record.data(), &number, sizeof number);
  std::memcpy(record.data() + 4, text.data(), text.size());
  record[kSmallRecord - 1] = static_cast<uint8_t>(number);
  return record;
}

uint32_t NumberOf(const Bytes& record) {
  uint32_t number = 0;
  std::memcpy(&number, record.data(), sizeof number);
  return number;
}

class OkvOpsTest : public NodeTest {
 protected:
  // Creates, defines and finalizes a file; key 0 of `keyType` spans `keyLength` bytes at 0.
  void CreateFile(const char* name, uint16_t recordSize, uint8_t keyType, uint16_t keyLength) {
    ASSERT_EQ(TQPOKVCreateFile(node(), nullptr, name, OKV_OPEN_FLAGS_DEFAULT, recordSize, 0, nullptr, "Test", 7),
              OKV_SUCCESS);
    uint16_t keyNumber = 99;
    if (keyLength != 0) {
      ASSERT_EQ(TQPOKVCreateKey(node(), nullptr, name, keyType, 0, keyLength, &keyNumber), OKV_SUCCESS);
      EXPECT_EQ(keyNumber, 0);
    }
  }
  uint16_t Open(const char* name) {
    uint16_t handle = 0;
    EXPECT_EQ(TQPOKVOpenFile(node(), nullptr, name, 1, &handle), OKV_SUCCESS);
    return handle;
  }
};

TEST_P(OkvOpsTest, DatabaseLifeCycle) {
  CreateFile("t.okv", kSmallRecord, OKV_KEY_UNSIGNED, 4);
  uint16_t keyNumber = 0;
  ASSERT_EQ(TQPOKVCreateKey(node(), nullptr, "t.okv", OKV_KEY_STRING | OKV_KEY_NOCASE, 4, kTextKeyLength, &keyNumber),
            OKV_SUCCESS);
  EXPECT_EQ(keyNumber, 1);
  uint16_t handle = 0;
  EXPECT_EQ(TQPOKVOpenFile(node(), nullptr, "t.okv", 1, &handle), OKV_NOT_FINALIZED);
  ASSERT_EQ(TQPOKVFinalizeCreate(node(), nullptr, "t.okv"), OKV_SUCCESS);
  int exists = -1;
  EXPECT_EQ(TQPOKVFileExists(node(), nullptr, "t.okv", &exists), OKV_SUCCESS);
  EXPECT_EQ(exists, 1);
  handle = Open("t.okv");
  ASSERT_NE(handle, 0);

  OKVFileInfoBuf info{};
  ASSERT_EQ(TQPOKVFileInfo(node(), nullptr, handle, &info), OKV_SUCCESS);
  // Packed fields are copied (unary +) before gtest takes a reference to them.
  EXPECT_EQ(+info.recordSize, kSmallRecord);
  EXPECT_EQ(+info.fileId, 7);
  EXPECT_EQ(+info.keyCount, 2);
  EXPECT_STREQ(info.fileName, "Test");
  OKVKeyInfoBuf key{};
  ASSERT_EQ(TQPOKVKeyInfo(node(), nullptr, handle, 1, &key), OKV_SUCCESS);
  EXPECT_EQ(key.keyOffset, 4);
  EXPECT_EQ(key.keyLength, kTextKeyLength);
  EXPECT_EQ(key.keyType, OKV_KEY_STRING | OKV_KEY_NOCASE);

  for (uint32_t number : {30, 10, 50, 20, 40}) {
    const Bytes record = SmallRecord(number, "CUST" + std::to_string(number));
    ASSERT_EQ(TQPOKVCreateRec(node(), nullptr, handle, record.data()), OKV_SUCCESS);
  }
  EXPECT_EQ(TQPOKVCreateRec(node(), nullptr, handle, SmallRecord(30, "OTHER").data()), OKV_DUPLICATE_KEY);
  uint32_t records = 0, nodes = 0;
  EXPECT_EQ(TQPOKVNumRecords(node(), nullptr, handle, &records, &nodes), OKV_SUCCESS);
  EXPECT_EQ(records, 5u);

  Bytes record(kSmallRecord);
  std::vector<uint32_t> order;
  for (uint8_t rc = TQPOKVReadRecLO(node(), nullptr, handle, 0, record.data()); rc == OKV_SUCCESS;
       rc = TQPOKVReadRecNX(node(), nullptr, handle, 0, record.data())) {
    order.push_back(NumberOf(record));
  }
  EXPECT_EQ(order, (std::vector<uint32_t>{10, 20, 30, 40, 50}));
  ASSERT_EQ(TQPOKVReadRecHI(node(), nullptr, handle, 0, record.data()), OKV_SUCCESS);
  ASSERT_EQ(TQPOKVReadRecPR(node(), nullptr, handle, 0, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NumberOf(record), 40u);

  const uint32_t probes[] = {30, 35};
  struct KeyedCase {
    const char* what;
    uint8_t (*read)(int, TQPNodeAddress*, uint16_t, uint16_t, const void*, void*);
    const void* key;
    uint16_t keyNumber;
    uint8_t result;
    uint32_t found;
  };
  // The text probe is a short C string: only its characters travel, the rest as zeros.
  const KeyedCase keyed[] = {
      {"EQ 30", TQPOKVReadRecEQ, &probes[0], 0, OKV_SUCCESS, 30},
      {"EQ 35", TQPOKVReadRecEQ, &probes[1], 0, OKV_RECORD_NOT_FOUND, 0},
      {"GE 35", TQPOKVReadRecGE, &probes[1], 0, OKV_SUCCESS, 40},
      {"GT 30", TQPOKVReadRecGT, &probes[0], 0, OKV_SUCCESS, 40},
      {"LE 35", TQPOKVReadRecLE, &probes[1], 0, OKV_SUCCESS, 30},
      {"LT 30", TQPOKVReadRecLT, &probes[0], 0, OKV_SUCCESS, 20},
      {"EQ text", TQPOKVReadRecEQ, "cust20", 1, OKV_SUCCESS, 20},
  };
  for (const KeyedCase& c : keyed) {
    std::fill(record.begin(), record.end(), 0);
    EXPECT_EQ(c.read(node(), nullptr, handle, c.keyNumber, c.key, record.data()), c.result) << c.what;
    if (c.result == OKV_SUCCESS) {
      EXPECT_EQ(record, SmallRecord(c.found, "CUST" + std::to_string(c.found))) << c.what;
    }
  }

  uint32_t address = 0;
  ASSERT_EQ(TQPOKVReadRecEQ(node(), nullptr, handle, 0, &probes[0], record.data()), OKV_SUCCESS);
  ASSERT_EQ(TQPOKVGetRecIX(node(), nullptr, handle, &address), OKV_SUCCESS);
  Bytes changed = SmallRecord(30, "CHANGED");
  ASSERT_EQ(TQPOKVUpdateRec(node(), nullptr, handle, changed.data()), OKV_SUCCESS);
  ASSERT_EQ(TQPOKVReadRecIX(node(), nullptr, handle, address, record.data()), OKV_SUCCESS);
  EXPECT_EQ(record, changed);
  ASSERT_EQ(TQPOKVDeleteRec(node(), nullptr, handle), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVReadRecEQ(node(), nullptr, handle, 0, &probes[0], record.data()), OKV_RECORD_NOT_FOUND);

  uint8_t flag = 9;
  EXPECT_EQ(TQPOKVGetSafeWrites(node(), nullptr, handle, &flag), OKV_SUCCESS);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(TQPOKVSetSafeWrites(node(), nullptr, handle, 0), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVGetSafeWrites(node(), nullptr, handle, &flag), OKV_SUCCESS);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(TQPOKVSetFileID(node(), nullptr, handle, 42), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVSetFileName(node(), nullptr, handle, "Renamed"), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVSetFileName(node(), nullptr, handle, std::string(32, 'x').c_str()), OKV_PARAMETER);
  const uint8_t recordKey[32] = {1, 2, 3};
  EXPECT_EQ(TQPOKVSetKey(node(), nullptr, handle, recordKey), OKV_SUCCESS);
  ASSERT_EQ(TQPOKVFileInfo(node(), nullptr, handle, &info), OKV_SUCCESS);
  EXPECT_EQ(+info.fileId, 42);
  EXPECT_STREQ(info.fileName, "Renamed");
  EXPECT_EQ(+info.recordCount, 4u);

  EXPECT_EQ(TQPOKVBeginSession(node(), nullptr), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVEndSession(node(), nullptr), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVAbortSession(node(), nullptr), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVCloseFile(node(), nullptr, handle), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVCloseFile(node(), nullptr, handle), OKV_PARAMETER) << "closed already";
  EXPECT_EQ(TQPOKVDeleteFile(node(), nullptr, "t.okv"), OKV_SUCCESS);
  EXPECT_EQ(TQPOKVFileExists(node(), nullptr, "t.okv", &exists), OKV_SUCCESS);
  EXPECT_EQ(exists, 0);
  EXPECT_EQ(TQPOKVOpenFile(node(), nullptr, "t.okv", 1, &handle), OKV_FILE_NOT_FOUND);
}

// Records of 250 bytes go in one piece, 251 in two; 300 come back as 254 + 46;
// a 300-byte key value goes as 248 + 52.
TEST_P(OkvOpsTest, LongRecordsAndKeyValuesTravelInPieces) {
  for (uint16_t size : {250, 251, 300, 1000}) {
    SCOPED_TRACE(size);
    const std::string name = "r" + std::to_string(size) + ".okv";
    const uint16_t keyLength = std::min<uint16_t>(size, 300);
    CreateFile(name.c_str(), size, OKV_KEY_BYTES, keyLength);
    ASSERT_EQ(TQPOKVFinalizeCreate(node(), nullptr, name.c_str()), OKV_SUCCESS);
    const uint16_t handle = Open(name.c_str());
    Bytes written(size), second(size);
    // The second record's key orders before the first's.
    for (size_t i = 0; i < written.size(); ++i) {
      written[i] = static_cast<uint8_t>(i * 13 + size);
      second[i] = static_cast<uint8_t>(i * 17 + 1);
    }
    ASSERT_EQ(TQPOKVCreateRec(node(), nullptr, handle, written.data()), OKV_SUCCESS);
    ASSERT_EQ(TQPOKVCreateBTreeRec(node(), nullptr, handle, second.data()), OKV_SUCCESS);
    Bytes read(size);
    ASSERT_EQ(TQPOKVReadRecEQ(node(), nullptr, handle, 0, written.data(), read.data()), OKV_SUCCESS);
    EXPECT_EQ(read, written);
    Bytes updated = written;
    updated[size - 1] ^= 0xFF;
    ASSERT_EQ(TQPOKVUpdateRec(node(), nullptr, handle, updated.data()), OKV_SUCCESS);
    ASSERT_EQ(TQPOKVReadRecGE(node(), nullptr, handle, 0, second.data(), read.data()), OKV_SUCCESS);
    EXPECT_EQ(read, second);
    ASSERT_EQ(TQPOKVReadRecGT(node(), nullptr, handle, 0, second.data(), read.data()), OKV_SUCCESS);
    EXPECT_EQ(read, updated);
    EXPECT_EQ(TQPOKVCloseFile(node(), nullptr, handle), OKV_SUCCESS);
  }
}

TEST_P(OkvOpsTest, KeylessFileHoldsOneRecord) {
  CreateFile("one.okv", 40, 0, 0);
  ASSERT_EQ(TQPOKVFinalizeCreate(node(), nullptr, "one.okv"), OKV_SUCCESS);
  const uint16_t handle = Open("one.okv");
  Bytes record(40, 0x5A), read(40);
  EXPECT_EQ(TQPOKVReadRec(node(), nullptr, handle, read.data()), OKV_RECORD_NOT_FOUND);
  ASSERT_EQ(TQPOKVCreateRec(node(), nullptr, handle, record.data()), OKV_SUCCESS);
  ASSERT_EQ(TQPOKVReadRec(node(), nullptr, handle, read.data()), OKV_SUCCESS);
  EXPECT_EQ(read, record);
  EXPECT_EQ(TQPOKVCloseFile(node(), nullptr, handle), OKV_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Nodes, OkvOpsTest, ::testing::Values(Where::kLocal, Where::kTcp, Where::kSerial),
                         WhereName);

}  // namespace
}  // namespace trk::tqpfs::testing
