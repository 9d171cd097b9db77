// RC6 against the published vectors, the exported cipher calls, and
// encrypted files with their record keys.
#include <cstring>
#include <string>

#include "okv/cipher.h"
#include "okv/format.h"
#include "okv/tests/okv_test_support.h"

namespace okv::testing {
namespace {

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

TEST(Rc6, MatchesThePublishedVectorsFor256BitKeys) {
  const struct {
    const char* key;
    const char* plain;
    const char* cipher;
  } vectors[] = {
      {"0000000000000000000000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
       "8f5fbd0510d15fa893fa3fda6e857ec2"},
      {"0123456789abcdef0112233445566778899aabbccddeeff01032547698badcfe", "02132435465768798a9bacbdcedfe0f1",
       "c8241816f0d7e48920ad16a1674e5d48"},
  };
  for (const auto& v : vectors) {
    const Bytes key = FromHex(v.key), plain = FromHex(v.plain);
    Bytes block = plain;
    Rc6 cipher(key.data());
    cipher.EncryptBlocks(block);
    EXPECT_EQ(block, FromHex(v.cipher)) << v.key;
    cipher.DecryptBlocks(block);
    EXPECT_EQ(block, plain);
  }
}

class CipherTest : public OkvTest {
 protected:
  uint8_t key_[32] = {};
  void SetUp() override {
    OkvTest::SetUp();
    for (int i = 0; i < 32; ++i) key_[i] = static_cast<uint8_t>(7 * i + 3);
  }
};

TEST_F(CipherTest, EncryptNeedsRoomForLengthRecordAndPadding) {
  const uint8_t source[40] = {1, 2, 3};
  uint8_t destination[64];
  const struct {
    uint16_t length, size;
    uint8_t rc;
  } cases[] = {{14, 16, OKV_SUCCESS}, {15, 16, OKV_PARAMETER}, {15, 32, OKV_SUCCESS}, {16, 31, OKV_PARAMETER},
               {16, 32, OKV_SUCCESS}, {0, 16, OKV_SUCCESS},    {0, 15, OKV_PARAMETER}};
  for (const auto& c : cases) {
    EXPECT_EQ(OKVEncrypt(key_, source, c.length, destination, c.size), c.rc) << c.length << "/" << c.size;
  }
  EXPECT_EQ(OKVEncrypt(key_, source, 65519, destination, 0xFFFF), OKV_PARAMETER);
  EXPECT_EQ(OKVEncrypt(nullptr, source, 1, destination, 16), OKV_PARAMETER);
  EXPECT_EQ(OKVEncrypt(key_, nullptr, 1, destination, 16), OKV_PARAMETER);
  EXPECT_EQ(OKVEncrypt(key_, source, 1, nullptr, 16), OKV_PARAMETER);
}

TEST_F(CipherTest, DecryptChecksThePlausibilityOfTheLength) {
  uint8_t body[16], plain[16];
  const uint8_t record[14] = {'f', 'o', 'u', 'r', 't', 'e', 'e', 'n', '-', 'b', 'y', 't', 'e', 's'};
  ASSERT_EQ(OKVEncrypt(key_, record, 14, body, 16), OKV_SUCCESS);
  uint16_t length = 0;
  ASSERT_EQ(OKVDecrypt(key_, body, 16, plain, &length), OKV_SUCCESS);
  EXPECT_EQ(length, 14);
  EXPECT_EQ(std::memcmp(plain, record, 14), 0);
  // A length field of 15 cannot fit a 16-byte body.
  uint8_t forged[16] = {15, 0};
  Rc6(key_).EncryptBlocks(forged);
  EXPECT_EQ(OKVDecrypt(key_, forged, 16, plain, &length), OKV_WRONG_KEY);
  EXPECT_EQ(length, 15);
  EXPECT_EQ(plain[0], 15);
  EXPECT_EQ(OKVDecrypt(key_, body, 0, plain, &length), OKV_PARAMETER);
  EXPECT_EQ(OKVDecrypt(key_, body, 15, plain, &length), OKV_PARAMETER);
  EXPECT_EQ(OKVDecrypt(key_, body, 16, plain, nullptr), OKV_PARAMETER);
}

TEST_F(CipherTest, EncryptedFilesStoreCipherTextAndReadBackPlain) {
  const uint16_t handle = NewPeople("secret.okv", 1, key_);
  const Bytes record = Person("HIDDEN", 42);
  ASSERT_EQ(OKVCreateRec(handle, record.data()), OKV_SUCCESS);
  uint32_t address = 0;
  ASSERT_EQ(OKVGetRecIX(handle, &address), OKV_SUCCESS);
  const Bytes file = ReadFile(Path("secret.okv"));
  const uint32_t bodyAt = address + 2 + 16 * file[address];
  ASSERT_EQ(file.size(), bodyAt + StoredSize(kPersonSize, true));
  Bytes body(file.begin() + bodyAt, file.end()), plain(body.size());
  uint16_t length = 0;
  ASSERT_EQ(OKVDecrypt(key_, body.data(), static_cast<uint16_t>(body.size()), plain.data(), &length), OKV_SUCCESS);
  EXPECT_EQ(length, kPersonSize);
  EXPECT_EQ(Bytes(plain.begin(), plain.begin() + kPersonSize), record);
  EXPECT_EQ(std::search(file.begin(), file.end(), record.begin(), record.begin() + 6), file.end());
  Bytes back(kPersonSize);
  ASSERT_EQ(OKVReadRecEQ(handle, 0, "HIDDEN", back.data()), OKV_SUCCESS);
  EXPECT_EQ(back, record);
}

// Searches decipher only the blocks of the compared field; whatever they left
// deciphered, a delivered record must be whole and every order right.
TEST_F(CipherTest, KeysInLaterBlocksOfALongRecordSearchAndDeliverWholeRecords) {
  constexpr uint16_t kSize = 100;
  const KeySpec nameAt60{OKV_KEY_STRING, 60, 16};
  const KeySpec numberAt0{OKV_KEY_UNSIGNED, 0, 4};
  ASSERT_EQ(Define(Path("long.okv"), kSize, {nameAt60, numberAt0}, 1, key_), OKV_SUCCESS);
  const uint16_t handle = Open(Path("long.okv"));
  auto make = [](uint32_t number) {
    Bytes record(kSize, 0);
    PutLe32(record, 0, number);
    const std::string name = "N" + std::to_string(1000 + (number * 37) % 500);
    std::memcpy(record.data() + 60, name.data(), name.size());
    for (size_t i = 20; i < 60; ++i) record[i] = static_cast<uint8_t>(number + i);
    record[kSize - 1] = static_cast<uint8_t>(number);
    return record;
  };
  for (uint32_t n = 0; n < 300; ++n) ASSERT_EQ(OKVCreateRec(handle, make(n).data()), OKV_SUCCESS) << n;

  Bytes back(kSize);
  for (uint32_t n : {0u, 1u, 150u, 299u}) {
    const Bytes expected = make(n);
    ASSERT_EQ(OKVReadRecEQ(handle, 0, expected.data() + 60, back.data()), OKV_SUCCESS) << n;
    EXPECT_EQ(back, expected);
    ASSERT_EQ(OKVReadRecEQ(handle, 1, expected.data(), back.data()), OKV_SUCCESS) << n;
    EXPECT_EQ(back, expected);
  }
  // An update that moves a record in the name order, then a walk in that order.
  Bytes changed = make(7);
  std::memcpy(changed.data() + 60, "A0000", 6);
  ASSERT_EQ(OKVReadRecEQ(handle, 1, changed.data(), back.data()), OKV_SUCCESS);
  ASSERT_EQ(OKVUpdateRec(handle, changed.data()), OKV_SUCCESS);
  ASSERT_EQ(OKVReadRecLO(handle, 0, back.data()), OKV_SUCCESS);
  EXPECT_EQ(back, changed);
  std::string previous;
  int count = 1;
  while (OKVReadRecNX(handle, 0, back.data()) == OKV_SUCCESS) {
    const std::string name(reinterpret_cast<const char*>(back.data() + 60));
    EXPECT_LE(previous, name);
    EXPECT_EQ(back, make(Le32(back, 0))) << name;
    previous = name;
    ++count;
  }
  EXPECT_EQ(count, 300);
}

TEST_F(CipherTest, RecordsWrittenUnderAChangedKeyNeedTheSameChange) {
  const uint16_t writer = NewPeople("secret.okv", 1, key_);
  uint8_t change[32];
  for (int i = 0; i < 32; ++i) change[i] = static_cast<uint8_t>(0x80 | i);
  ASSERT_EQ(OKVSetKey(writer, change), OKV_SUCCESS);
  ASSERT_EQ(OKVSetKey(writer, nullptr), OKV_SUCCESS);
  const Bytes record = Person("KEYED", 1);
  ASSERT_EQ(OKVCreateRec(writer, record.data()), OKV_SUCCESS);
  Bytes back(kPersonSize);
  ASSERT_EQ(OKVReadRecLO(writer, 0, back.data()), OKV_SUCCESS);
  EXPECT_EQ(back, record);
  const uint16_t plainReader = Open(Path("secret.okv"));
  EXPECT_EQ(OKVReadRecLO(plainReader, 0, back.data()), OKV_WRONG_KEY);
  EXPECT_EQ(OKVReadRecEQ(plainReader, 0, "KEYED", back.data()), OKV_WRONG_KEY);
  EXPECT_EQ(OKVCreateRec(plainReader, Person("OTHER", 2).data()), OKV_WRONG_KEY);
  const uint16_t sameChange = Open(Path("secret.okv"));
  ASSERT_EQ(OKVSetKey(sameChange, change), OKV_SUCCESS);
  ASSERT_EQ(OKVReadRecLO(sameChange, 0, back.data()), OKV_SUCCESS);
  EXPECT_EQ(back, record);
}

TEST_F(CipherTest, KeylessEncryptedRecord) {
  const std::string path = Path("single.okv");
  ASSERT_EQ(Define(path, 20, {}, 1, key_), OKV_SUCCESS);
  const uint16_t handle = Open(path);
  const Bytes record(20, 0x33);
  ASSERT_EQ(OKVCreateRec(handle, record.data()), OKV_SUCCESS);
  EXPECT_EQ(ReadFile(path).size(), 128u + 32u);
  Bytes back(20);
  ASSERT_EQ(OKVReadRec(handle, back.data()), OKV_SUCCESS);
  EXPECT_EQ(back, record);
}

}  // namespace
}  // namespace okv::testing
