// The worked numbers of the file format: header, key blocks, levels, sizes.
#include "okv/format.h"
#include "okv/journal.h"
#include "okv/tests/okv_test_support.h"

namespace okv::testing {
namespace {

TEST(MaxLevel, FollowsTheStoredRecordSize) {
  const struct {
    uint32_t storedSize;
    uint8_t maxLevel;
  } cases[] = {{0, 32}, {1, 32}, {2, 31}, {3, 31}, {72, 26}, {100, 26}, {528, 23}, {65535, 17}, {65520, 17}};
  for (const auto& c : cases) EXPECT_EQ(MaxLevelFor(c.storedSize), c.maxLevel) << c.storedSize;
  EXPECT_EQ(StoredSize(514, true), 528u);
  EXPECT_EQ(StoredSize(514, false), 514u);
}

TEST(JournalName, ReplacesOrAppendsTheExtension) {
  const struct {
    const char* data;
    const char* journal;
  } cases[] = {
      {"Customer.zdb", "Customer.okt"},
      {"/data/Customer", "/data/Customer.okt"},
      {"/data.d/file", "/data.d/file.okt"},
      {"/data/a.b.c", "/data/a.b.okt"},
      {"name.OKT", "name.okt"},
  };
  for (const auto& c : cases) {
    std::string journal;
    EXPECT_EQ(DeriveJournalName(c.data, &journal), OKV_SUCCESS) << c.data;
    EXPECT_EQ(journal, c.journal);
  }
  std::string journal;
  EXPECT_EQ(DeriveJournalName("/data/x.okt", &journal), OKV_PARAMETER);
}

class FormatTest : public OkvTest {};

TEST_F(FormatTest, NewTwoKeyFileHasTheDocumentedLayout) {
  const std::string path = Path("new.okv");
  ASSERT_EQ(Define(path, 100, {{OKV_KEY_STRING, 0, 20}, {OKV_KEY_UNSIGNED | OKV_KEY_DUPLICATES, 20, 4}}), OKV_SUCCESS);
  const Bytes file = ReadFile(path);
  ASSERT_EQ(file.size(), 560u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "PWOK");
  EXPECT_EQ(file[hdr::kVersion] | (file[hdr::kVersion + 1] << 8), 0x010A);
  EXPECT_EQ(file[hdr::kFileId], 7);
  EXPECT_EQ(Le32(file, hdr::kFreeHead), 0u);
  EXPECT_EQ(Le32(file, hdr::kNodeCount), 0u);
  EXPECT_EQ(Le32(file, hdr::kRecordCount), 0u);
  EXPECT_EQ(file[hdr::kKeyCount], 2);
  EXPECT_EQ(file[hdr::kRecordSize], 100);
  EXPECT_EQ(file[hdr::kOpenFlags] | (file[hdr::kOpenFlags + 1] << 8), OKV_OPEN_FLAGS_DEFAULT);
  EXPECT_EQ(file[hdr::kCurrentLevel], 0);
  EXPECT_EQ(file[hdr::kMaxLevel], 26);
  EXPECT_EQ(file[hdr::kCreationState], 0);
  // Key 0 at 128, key 1 at 128 + 8 + 8 * 26 = 344, heads all empty.
  EXPECT_EQ(file[128 + 2], 20);
  EXPECT_EQ(file[128 + 4], OKV_KEY_STRING);
  EXPECT_EQ(file[344], 20);
  EXPECT_EQ(file[344 + 2], 4);
  EXPECT_EQ(file[344 + 4], OKV_KEY_UNSIGNED | OKV_KEY_DUPLICATES);
  for (size_t at = 136; at < 344; ++at) ASSERT_EQ(file[at], 0) << at;
  for (size_t at = 352; at < 560; ++at) ASSERT_EQ(file[at], 0) << at;
}

TEST_F(FormatTest, NodeLayoutHoldsLinksForEveryKeyAndTheBody) {
  const uint16_t handle = NewPeople();
  const Bytes record = Person("ANN", 5);
  ASSERT_EQ(OKVCreateBTreeRec(handle, record.data()), OKV_SUCCESS);
  uint32_t address = 0;
  ASSERT_EQ(OKVGetRecIX(handle, &address), OKV_SUCCESS);
  const Bytes file = ReadFile(Path("people.okv"));
  const uint32_t m = file[hdr::kMaxLevel];
  EXPECT_EQ(address, KeyBlocksEnd(2, m));
  // The first balanced record has level 1: 2 + 8 * 1 * 2 + 32 bytes, both keys' heads name it.
  ASSERT_EQ(file.size(), address + 2 + 16 + kPersonSize);
  EXPECT_EQ(file[address], 1);
  EXPECT_EQ(file[address + 17], 1);
  EXPECT_EQ(Bytes(file.begin() + address + 18, file.end()), record);
  for (uint32_t k = 0; k < 2; ++k) {
    const uint32_t block = KeyBlockOffset(k, m);
    EXPECT_EQ(Le32(file, block + 8), address);
    EXPECT_EQ(Le32(file, block + 8 + 4 * m), address);
  }
  EXPECT_EQ(file[hdr::kCurrentLevel], 1);
}

TEST_F(FormatTest, KeylessFileIsHeaderPlusOneBody) {
  const std::string path = Path("single.okv");
  ASSERT_EQ(Define(path, 40, {}), OKV_SUCCESS);
  EXPECT_EQ(ReadFile(path).size(), 128u);
  const uint16_t handle = Open(path);
  const Bytes record(40, 0x5A);
  ASSERT_EQ(OKVCreateRec(handle, record.data()), OKV_SUCCESS);
  const Bytes file = ReadFile(path);
  ASSERT_EQ(file.size(), 168u);
  EXPECT_EQ(Le32(file, hdr::kNodeCount), 1u);
  EXPECT_EQ(Le32(file, hdr::kRecordCount), 1u);
  EXPECT_EQ(Bytes(file.begin() + 128, file.end()), record);
}

TEST_F(FormatTest, FilesOlderThanEncryptionAreReadAndWrittenPlain) {
  const std::string path = Path("old.okv");
  uint8_t key[32];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i + 1);
  ASSERT_EQ(Define(path, kPersonSize, {kNameKey}, 1, key), OKV_SUCCESS);
  Bytes file = ReadFile(path);
  file[hdr::kVersion] = 0x06;
  file[hdr::kVersion + 1] = 0x01;
  WriteFile(path, file);
  const uint16_t handle = Open(path);
  const Bytes record = Person("PLAIN", 1);
  ASSERT_EQ(OKVCreateRec(handle, record.data()), OKV_SUCCESS);
  file = ReadFile(path);
  EXPECT_EQ(Bytes(file.end() - kPersonSize, file.end()), record);
  Bytes back(kPersonSize);
  EXPECT_EQ(OKVReadRecEQ(handle, 0, "PLAIN", back.data()), OKV_SUCCESS);
  EXPECT_EQ(back, record);
}

}  // namespace
}  // namespace okv::testing
