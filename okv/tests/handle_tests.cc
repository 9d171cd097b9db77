// Opening and closing handles, the handle table, the small handle calls.
#include "okv/handles.h"
#include "okv/tests/okv_test_support.h"

namespace okv::testing {
namespace {

class HandleTest : public OkvTest {
 protected:
  void SetUp() override {
    OkvTest::SetUp();
    ASSERT_EQ(Define(Path("h.okv"), kPersonSize, {kNameKey}), OKV_SUCCESS);
  }
  uint16_t OpenRaw() {
    uint16_t handle = 0;
    EXPECT_EQ(OKVOpenFile(Path("h.okv").c_str(), 1, &handle), OKV_SUCCESS);
    return handle;
  }
};

TEST_F(HandleTest, HandlesReuseTheLowestFreeEntryAndTheTableShrinksFromTheEnd) {
  const uint16_t a = OpenRaw(), b = OpenRaw(), c = OpenRaw();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(OKVCloseFile(2), OKV_SUCCESS);
  EXPECT_EQ(OpenRaw(), 2);
  EXPECT_EQ(OKVCloseFile(3), OKV_SUCCESS);
  EXPECT_EQ(ProcessHandles().size(), 2u);
  EXPECT_EQ(OKVCloseFile(2), OKV_SUCCESS);
  EXPECT_EQ(ProcessHandles().size(), 1u);
  uint32_t records = 0, nodes = 0;
  EXPECT_EQ(OKVNumRecords(1, &records, &nodes), OKV_SUCCESS);
  EXPECT_EQ(OKVNumRecords(2, &records, &nodes), OKV_PARAMETER);
  EXPECT_EQ(OKVCloseFile(1), OKV_SUCCESS);
  EXPECT_EQ(ProcessHandles().size(), 0u);
}

TEST_F(HandleTest, InvalidHandlesAreRefusedByEveryCall) {
  const uint16_t handle = OpenRaw();
  ASSERT_EQ(OKVCloseFile(handle), OKV_SUCCESS);
  Bytes record(kPersonSize);
  uint32_t count = 0;
  uint8_t flag = 0;
  for (uint16_t bad : {uint16_t{0}, handle, static_cast<uint16_t>(handle + 1), uint16_t{0xFFFF}}) {
    EXPECT_EQ(OKVCloseFile(bad), OKV_PARAMETER);
    EXPECT_EQ(OKVCreateRec(bad, record.data()), OKV_PARAMETER);
    EXPECT_EQ(OKVReadRecLO(bad, 0, record.data()), OKV_PARAMETER);
    EXPECT_EQ(OKVReadRecNX(bad, 0, record.data()), OKV_PARAMETER);
    EXPECT_EQ(OKVGetRecIX(bad, &count), OKV_PARAMETER);
    EXPECT_EQ(OKVDeleteRec(bad), OKV_PARAMETER);
    EXPECT_EQ(OKVNumRecords(bad, &count, &count), OKV_PARAMETER);
    EXPECT_EQ(OKVGetSafeWrites(bad, &flag), OKV_PARAMETER);
    EXPECT_EQ(OKVSetKey(bad, nullptr), OKV_PARAMETER);
  }
}

TEST_F(HandleTest, OpenRefusesBadNamesAndFiles) {
  WriteFile(Path("short.okv"), Bytes(100, 0));
  WriteFile(Path("alien.okv"), Bytes(128, 'x'));
  ASSERT_EQ(OKVCreateFile(Path("open.okv").c_str(), 0x8002, 10, 0, nullptr, nullptr, 1), OKV_SUCCESS);
  ASSERT_EQ(Define(Path("j.okt"), 10, {}), OKV_PARAMETER);
  uint16_t handle = 0;
  const std::string n259 = Path(std::string(259 - Path("").size(), 'q'));
  const std::string n260 = Path(std::string(260 - Path("").size(), 'q'));
  const struct {
    const char* what;
    std::string name;
    uint8_t expected;
  } cases[] = {
      {"empty", "", OKV_PARAMETER},
      {"260 characters", n260, OKV_PARAMETER},
      {"259 characters, missing", n259, OKV_FILE_NOT_FOUND},
      {"missing", Path("none.okv"), OKV_FILE_NOT_FOUND},
      {"100 bytes", Path("short.okv"), OKV_NOT_OKV_FILE},
      {"wrong magic", Path("alien.okv"), OKV_NOT_OKV_FILE},
      {"not finalized", Path("open.okv"), OKV_NOT_FINALIZED},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OKVOpenFile(c.name.c_str(), 1, &handle), c.expected) << c.what;
    EXPECT_EQ(handle, 0) << c.what;
  }
  EXPECT_EQ(OKVOpenFile(nullptr, 1, &handle), OKV_PARAMETER);
  EXPECT_EQ(OKVOpenFile(Path("h.okv").c_str(), 1, nullptr), OKV_PARAMETER);
  // A finalized file whose name carries the journal extension.
  std::filesystem::copy_file(Path("h.okv"), Path("h.okt"));
  EXPECT_EQ(OKVOpenFile(Path("h.okt").c_str(), 1, &handle), OKV_PARAMETER);
  EXPECT_EQ(ProcessHandles().size(), 0u);
}

TEST_F(HandleTest, MagicIsComparedExactly) {
  Bytes file = ReadFile(Path("h.okv"));
  file[0] = 'p';
  WriteFile(Path("lower.okv"), file);
  uint16_t handle = 0;
  EXPECT_EQ(OKVOpenFile(Path("lower.okv").c_str(), 1, &handle), OKV_NOT_OKV_FILE);
}

TEST_F(HandleTest, FileNameAndIdAreRewrittenInTheHeader) {
  const uint16_t handle = Open(Path("h.okv"));
  EXPECT_EQ(OKVSetFileName(handle, "abcdefghijklmnopqrstuvwxyz012345"), OKV_PARAMETER);
  EXPECT_EQ(OKVSetFileName(handle, nullptr), OKV_PARAMETER);
  ASSERT_EQ(OKVSetFileName(handle, "abcdefghijklmnopqrstuvwxyz01234"), OKV_SUCCESS);
  ASSERT_EQ(OKVSetFileID(handle, 0xBEEF), OKV_SUCCESS);
  OKVFileInfoBuf info{};
  ASSERT_EQ(OKVFileInfo(handle, &info), OKV_SUCCESS);
  EXPECT_STREQ(info.fileName, "abcdefghijklmnopqrstuvwxyz01234");
  EXPECT_EQ(info.fileId, 0xBEEF);
  ASSERT_EQ(OKVSetFileName(handle, "short"), OKV_SUCCESS);
  const Bytes file = ReadFile(Path("h.okv"));
  EXPECT_EQ(Bytes(file.begin() + 61, file.begin() + 93),
            Bytes({'s', 'h', 'o', 'r', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                   0,   0,   0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(Exists(Path("h.okt")));
}

TEST_F(HandleTest, NumRecordsReportsBothCounts) {
  const uint16_t handle = Open(Path("h.okv"));
  for (const char* name : {"A", "B", "C"}) ASSERT_EQ(OKVCreateRec(handle, Person(name, 1).data()), OKV_SUCCESS);
  ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
  uint32_t records = 0, nodes = 0;
  ASSERT_EQ(OKVNumRecords(handle, &records, &nodes), OKV_SUCCESS);
  EXPECT_EQ(records, 2u);
  EXPECT_EQ(nodes, 3u);
  EXPECT_EQ(OKVNumRecords(handle, nullptr, &nodes), OKV_PARAMETER);
  EXPECT_EQ(OKVNumRecords(handle, &records, nullptr), OKV_PARAMETER);
}

TEST_F(HandleTest, SafeWritesAreKeptPerHandle) {
  const uint16_t first = Open(Path("h.okv")), second = Open(Path("h.okv"));
  uint8_t flag = 0;
  ASSERT_EQ(OKVGetSafeWrites(first, &flag), OKV_SUCCESS);
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(OKVSetSafeWrites(first, 2), OKV_SUCCESS);
  ASSERT_EQ(OKVGetSafeWrites(first, &flag), OKV_SUCCESS);
  EXPECT_EQ(flag, 2);
  ASSERT_EQ(OKVSetSafeWrites(first, 0), OKV_SUCCESS);
  ASSERT_EQ(OKVGetSafeWrites(second, &flag), OKV_SUCCESS);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(OKVGetSafeWrites(first, nullptr), OKV_PARAMETER);
}

TEST_F(HandleTest, VersionAndSessions) {
  EXPECT_STREQ(verPWOKV, "v1.10");
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetPWOKVVersion(buffer, 6), buffer);
  EXPECT_STREQ(buffer, "v1.10");
  std::memset(buffer, 'x', sizeof buffer);
  GetPWOKVVersion(buffer, 3);
  EXPECT_EQ(std::string(buffer, 4), std::string("v1\0x", 4));
  GetPWOKVVersion(buffer, 0);
  EXPECT_EQ(buffer[0], 'v');
  EXPECT_EQ(OKVBeginSession(), OKV_SUCCESS);
  EXPECT_EQ(OKVEndSession(), OKV_SUCCESS);
  EXPECT_EQ(OKVAbortSession(), OKV_SUCCESS);
}

TEST(HandleTable, FullOnlyWhenNoEntryIsFreeAndTheTableCannotGrow) {
  HandleTable table;
  HandleEntry entry;
  for (size_t i = 0; i < HandleTable::kMaxEntries; ++i) ASSERT_EQ(table.Add(entry), i + 1);
  EXPECT_TRUE(table.Full());
  table.Remove(100);
  EXPECT_FALSE(table.Full());
  EXPECT_EQ(table.Find(100), nullptr);
  EXPECT_EQ(table.Add(entry), 100);
  EXPECT_TRUE(table.Full());
  EXPECT_NE(table.Find(65535), nullptr);
}

}  // namespace
}  // namespace okv::testing
