// Creating and defining files, the definition reports, deleting and existence.
#include "okv/tests/okv_test_support.h"

namespace okv::testing {
namespace {

class CreateTest : public OkvTest {};

TEST_F(CreateTest, CreateFileChecksItsArguments) {
  uint8_t key[32] = {1};
  const std::string name = Path("a.okv"), journalNamed = Path("b.okt");
  const std::string longName = Path(std::string(260 - Path("").size(), 'n'));
  const std::string longestName = Path(std::string(259 - Path("").size(), 'n'));
  const struct {
    const char* what;
    const char* name;
    uint16_t recordSize;
    uint8_t encrypted;
    const uint8_t* key;
    const char* text;
    uint8_t expected;
  } cases[] = {
      {"null name", nullptr, 10, 0, nullptr, nullptr, OKV_PARAMETER},
      {"encrypted without key", name.c_str(), 10, 1, nullptr, nullptr, OKV_PARAMETER},
      {"encrypted too large", name.c_str(), 65519, 1, key, nullptr, OKV_PARAMETER},
      {"text of 32 characters", name.c_str(), 10, 0, nullptr, "abcdefghijklmnopqrstuvwxyz012345", OKV_PARAMETER},
      {"journal extension", journalNamed.c_str(), 10, 0, nullptr, nullptr, OKV_PARAMETER},
      {"name of 260 characters", longName.c_str(), 10, 0, nullptr, nullptr, OKV_PARAMETER},
      {"record size 0", name.c_str(), 0, 0, nullptr, nullptr, OKV_PARAMETER},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OKVCreateFile(c.name, 0x8002, c.recordSize, c.encrypted, c.key, c.text, 1), c.expected) << c.what;
  }
  EXPECT_FALSE(Exists(name));
  EXPECT_EQ(OKVCreateFile(longestName.c_str(), 0x8002, 10, 0, nullptr, nullptr, 1), OKV_SUCCESS);
  EXPECT_EQ(OKVCreateFile(Path("e1.okv").c_str(), 0x8002, 65518, 1, key, nullptr, 1), OKV_SUCCESS);
  EXPECT_EQ(OKVCreateFile(Path("p1.okv").c_str(), 0x8002, 65535, 0, nullptr, nullptr, 1), OKV_SUCCESS);
  EXPECT_EQ(OKVCreateFile(Path("t31.okv").c_str(), 0x8002, 10, 0, nullptr, "abcdefghijklmnopqrstuvwxyz01234", 1),
            OKV_SUCCESS);
  EXPECT_FALSE(Exists(Path("e1.okt")));
}

TEST_F(CreateTest, CreateFileRefusesAnExistingNameAndLeavesItAlone) {
  const std::string path = Path("exists.okv");
  WriteFile(path, Bytes{1, 2, 3});
  EXPECT_EQ(OKVCreateFile(path.c_str(), 0x8002, 10, 0, nullptr, nullptr, 1), OKV_OPEN_ERROR);
  EXPECT_EQ(ReadFile(path), (Bytes{1, 2, 3}));
}

TEST_F(CreateTest, CreateKeyChecksTypeLengthAndPlace) {
  const std::string path = Path("k.okv");
  ASSERT_EQ(OKVCreateFile(path.c_str(), 0x8002, 100, 0, nullptr, nullptr, 1), OKV_SUCCESS);
  uint16_t number = 99;
  const struct {
    uint8_t type;
    uint16_t offset, length;
    uint8_t expected;
  } cases[] = {
      {OKV_KEY_STRING, 0, 0, OKV_PARAMETER},
      {OKV_KEY_UNSIGNED, 0, 3, OKV_PARAMETER},
      {OKV_KEY_SIGNED, 0, 8, OKV_PARAMETER},
      {OKV_KEY_FLOAT, 0, 2, OKV_PARAMETER},
      {5, 0, 4, OKV_PARAMETER},
      {0x3F, 0, 4, OKV_PARAMETER},
      {OKV_KEY_BYTES, 91, 10, OKV_PARAMETER},
      {OKV_KEY_BYTES, 90, 10, OKV_SUCCESS},
      {OKV_KEY_UNSIGNED | OKV_KEY_NOCASE, 0, 2, OKV_SUCCESS},
  };
  uint16_t expectedNumber = 0;
  for (const auto& c : cases) {
    const uint8_t rc = OKVCreateKey(path.c_str(), c.type, c.offset, c.length, &number);
    EXPECT_EQ(rc, c.expected) << int(c.type) << " " << c.offset << " " << c.length;
    if (rc == OKV_SUCCESS) {
      EXPECT_EQ(number, expectedNumber++);
    }
  }
  EXPECT_EQ(OKVCreateKey(path.c_str(), OKV_KEY_BYTES, 0, 1, nullptr), OKV_PARAMETER);
  EXPECT_EQ(OKVCreateKey(Path("missing.okv").c_str(), OKV_KEY_BYTES, 0, 1, &number), OKV_FILE_NOT_FOUND);
  EXPECT_FALSE(Exists(Path("missing.okt")));
  ASSERT_EQ(OKVFinalizeCreate(path.c_str()), OKV_SUCCESS);
  const uint16_t handle = Open(path);
  OKVKeyInfoBuf info{};
  ASSERT_EQ(OKVKeyInfo(handle, 1, &info), OKV_SUCCESS);
  EXPECT_EQ(info.keyOffset, 0);
  EXPECT_EQ(info.keyLength, 2);
  EXPECT_EQ(info.keyType, OKV_KEY_UNSIGNED | OKV_KEY_NOCASE);
  EXPECT_EQ(OKVKeyInfo(handle, 2, &info), OKV_PARAMETER);
}

TEST_F(CreateTest, AFileTakes255KeysAndNoMore) {
  const std::string path = Path("many.okv");
  ASSERT_EQ(OKVCreateFile(path.c_str(), 0x8002, 300, 0, nullptr, nullptr, 1), OKV_SUCCESS);
  uint16_t number = 0;
  for (int k = 0; k < 255; ++k) {
    ASSERT_EQ(OKVCreateKey(path.c_str(), OKV_KEY_BYTES, static_cast<uint16_t>(k), 1, &number), OKV_SUCCESS);
    ASSERT_EQ(number, k);
  }
  EXPECT_EQ(OKVCreateKey(path.c_str(), OKV_KEY_BYTES, 0, 1, &number), OKV_NO_MORE_KEYS);
}

TEST_F(CreateTest, FinalizingClosesTheDefinition) {
  const std::string path = Path("f.okv");
  ASSERT_EQ(OKVCreateFile(path.c_str(), 0x8002, 10, 0, nullptr, nullptr, 1), OKV_SUCCESS);
  uint16_t handle = 0, number = 0;
  EXPECT_EQ(OKVOpenFile(path.c_str(), 1, &handle), OKV_NOT_FINALIZED);
  ASSERT_EQ(OKVCreateKey(path.c_str(), OKV_KEY_BYTES, 0, 4, &number), OKV_SUCCESS);
  EXPECT_EQ(OKVFinalizeCreate(path.c_str()), OKV_SUCCESS);
  EXPECT_EQ(OKVFinalizeCreate(path.c_str()), OKV_ALREADY_FINALIZED);
  EXPECT_EQ(OKVCreateKey(path.c_str(), OKV_KEY_BYTES, 0, 4, &number), OKV_ALREADY_FINALIZED);
  handle = Open(path);
  const uint8_t record[10] = {1, 2, 3, 4};
  ASSERT_EQ(OKVCreateRec(handle, record), OKV_SUCCESS);
  // With a record behind the key blocks the layout no longer matches a definition.
  EXPECT_EQ(OKVFinalizeCreate(path.c_str()), OKV_FILE_CORRUPTED);
}

TEST_F(CreateTest, DefinitionCallsRefuseDamagedFiles) {
  const std::string tiny = Path("tiny.okv"), alien = Path("alien.okv");
  WriteFile(tiny, Bytes(100, 0));
  WriteFile(alien, Bytes(128, 0));
  uint16_t number = 0;
  EXPECT_EQ(OKVCreateKey(tiny.c_str(), OKV_KEY_BYTES, 0, 1, &number), OKV_FILE_CORRUPTED);
  EXPECT_EQ(OKVFinalizeCreate(tiny.c_str()), OKV_FILE_CORRUPTED);
  EXPECT_EQ(OKVCreateKey(alien.c_str(), OKV_KEY_BYTES, 0, 1, &number), OKV_NOT_OKV_FILE);
  EXPECT_EQ(OKVFinalizeCreate(alien.c_str()), OKV_NOT_OKV_FILE);
  EXPECT_EQ(OKVFinalizeCreate(nullptr), OKV_PARAMETER);
  EXPECT_EQ(ReadFile(tiny).size(), 100u);
}

TEST_F(CreateTest, FileInfoReportsTheHeader) {
  uint8_t key[32];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(0xA0 + i);
  const std::string path = Path("info.okv");
  const char* text = "abcdefghijklmnopqrstuvwxyz01234";
  ASSERT_EQ(OKVCreateFile(path.c_str(), 0x8002, 72, 0, key, text, 0x1234), OKV_SUCCESS);
  ASSERT_EQ(OKVFinalizeCreate(path.c_str()), OKV_SUCCESS);
  const uint16_t handle = Open(path);
  OKVFileInfoBuf info;
  std::memset(&info, 0xEE, sizeof info);
  static_assert(sizeof(OKVFileInfoBuf) == 83 && sizeof(OKVKeyInfoBuf) == 5);
  ASSERT_EQ(OKVFileInfo(handle, &info), OKV_SUCCESS);
  EXPECT_EQ(info.version, 0x010A);
  EXPECT_EQ(info.fileId, 0x1234);
  EXPECT_EQ(info.keyCount, 0);
  EXPECT_EQ(info.recordSize, 72);
  EXPECT_EQ(info.openFlags, 0x8002);
  EXPECT_EQ(info.encrypted, 0);
  EXPECT_EQ(std::memcmp(info.storedKey, key, 32), 0);
  EXPECT_STREQ(info.fileName, text);
  EXPECT_EQ(info.fileName[31], 0);
  EXPECT_EQ(OKVFileInfo(handle, nullptr), OKV_PARAMETER);
  EXPECT_EQ(OKVFileInfo(0, &info), OKV_PARAMETER);
}

TEST_F(CreateTest, DeleteFileAndFileExists) {
  const std::string path = Path("d.okv");
  EXPECT_EQ(OKVDeleteFile(path.c_str()), OKV_UNLINK_ERROR);
  EXPECT_EQ(OKVFileExists(path.c_str()), 0);
  WriteFile(path, Bytes{1});
  WriteFile(Path("d.okt"), Bytes{1});
  EXPECT_EQ(OKVFileExists(path.c_str()), 1);
  EXPECT_EQ(OKVFileExists(dir_.c_str()), 1);
  EXPECT_EQ(OKVFileExists(nullptr), 0);
  EXPECT_EQ(OKVFileExists(std::string(261, 'x').c_str()), 0);
  EXPECT_EQ(OKVDeleteFile(path.c_str()), OKV_SUCCESS);
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(Exists(Path("d.okt")));
}

}  // namespace
}  // namespace okv::testing
