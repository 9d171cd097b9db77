// Keyed reads, first and last, stepping, reads by address and keyless reads.
#include <cmath>
#include <limits>

#include "okv/tests/okv_test_support.h"

namespace okv::testing {
namespace {

class ReadTest : public OkvTest {
 protected:
  // Records numbered 10, 20, 20, 30 (named in order of addition) in key 1.
  uint16_t TenTwentyTwentyThirty() {
    const uint16_t handle = NewPeople();
    const std::pair<const char*, uint32_t> rows[] = {{"TEN", 10}, {"TWENTY-A", 20}, {"TWENTY-B", 20}, {"THIRTY", 30}};
    for (const auto& [name, number] : rows) EXPECT_EQ(OKVCreateRec(handle, Person(name, number).data()), OKV_SUCCESS);
    return handle;
  }
};

using ReadFn = uint8_t (*)(uint16_t, uint16_t, const void*, void*);

TEST_F(ReadTest, KeyedSearchesFindTheDocumentedRecords) {
  const uint16_t handle = TenTwentyTwentyThirty();
  const struct {
    const char* what;
    ReadFn read;
    uint32_t value;
    uint8_t rc;
    const char* name;
  } cases[] = {
      {"EQ 20", OKVReadRecEQ, 20, OKV_SUCCESS, "TWENTY-A"},  {"EQ 25", OKVReadRecEQ, 25, OKV_RECORD_NOT_FOUND, ""},
      {"GE 20", OKVReadRecGE, 20, OKV_SUCCESS, "TWENTY-A"},  {"GE 25", OKVReadRecGE, 25, OKV_SUCCESS, "THIRTY"},
      {"GE 31", OKVReadRecGE, 31, OKV_RECORD_NOT_FOUND, ""}, {"GT 20", OKVReadRecGT, 20, OKV_SUCCESS, "THIRTY"},
      {"GT 5", OKVReadRecGT, 5, OKV_SUCCESS, "TEN"},         {"GT 30", OKVReadRecGT, 30, OKV_RECORD_NOT_FOUND, ""},
      {"LE 20", OKVReadRecLE, 20, OKV_SUCCESS, "TWENTY-B"},  {"LE 99", OKVReadRecLE, 99, OKV_SUCCESS, "THIRTY"},
      {"LE 5", OKVReadRecLE, 5, OKV_RECORD_NOT_FOUND, ""},   {"LT 20", OKVReadRecLT, 20, OKV_SUCCESS, "TEN"},
      {"LT 10", OKVReadRecLT, 10, OKV_RECORD_NOT_FOUND, ""}, {"LT 31", OKVReadRecLT, 31, OKV_SUCCESS, "THIRTY"},
  };
  for (const auto& c : cases) {
    Bytes record(kPersonSize, 0xEE);
    ASSERT_EQ(OKVReadRecLO(handle, 0, record.data()), OKV_SUCCESS);
    EXPECT_EQ(c.read(handle, 1, &c.value, record.data()), c.rc) << c.what;
    uint32_t address = 0;
    if (c.rc == OKV_SUCCESS) {
      EXPECT_EQ(NameOf(record), c.name) << c.what;
      EXPECT_EQ(OKVGetRecIX(handle, &address), OKV_SUCCESS);
    } else {
      EXPECT_EQ(OKVGetRecIX(handle, &address), OKV_NO_CURRENT_RECORD) << c.what;
    }
  }
}

TEST_F(ReadTest, SteppingFollowsTheKeyAndStopsAtTheEnds) {
  const uint16_t handle = TenTwentyTwentyThirty();
  Bytes record(kPersonSize);
  uint32_t twenty = 20;
  ASSERT_EQ(OKVReadRecLE(handle, 1, &twenty, record.data()), OKV_SUCCESS);
  ASSERT_EQ(OKVReadRecNX(handle, 1, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "THIRTY");
  EXPECT_EQ(OKVReadRecNX(handle, 1, record.data()), OKV_RECORD_NOT_FOUND);
  ASSERT_EQ(OKVReadRecPR(handle, 1, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "TWENTY-B");
  // Keys may be mixed on one handle: by name, TWENTY-B is last.
  EXPECT_EQ(OKVReadRecNX(handle, 0, record.data()), OKV_RECORD_NOT_FOUND);
  ASSERT_EQ(OKVReadRecPR(handle, 0, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "TWENTY-A");
  ASSERT_EQ(OKVReadRecHI(handle, 1, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "THIRTY");
  ASSERT_EQ(OKVReadRecLO(handle, 1, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "TEN");
  EXPECT_EQ(OKVReadRecPR(handle, 1, record.data()), OKV_RECORD_NOT_FOUND);
  EXPECT_EQ(Walk(handle, 1), (std::vector<std::string>{"TEN", "TWENTY-A", "TWENTY-B", "THIRTY"}));
}

TEST_F(ReadTest, EmptyFileFindsNothingAndLeavesNoCurrentRecord) {
  const uint16_t handle = NewPeople();
  Bytes record(kPersonSize);
  const uint32_t value = 1;
  EXPECT_EQ(OKVReadRecLO(handle, 0, record.data()), OKV_RECORD_NOT_FOUND);
  EXPECT_EQ(OKVReadRecHI(handle, 1, record.data()), OKV_RECORD_NOT_FOUND);
  for (ReadFn read : {OKVReadRecEQ, OKVReadRecGE, OKVReadRecGT, OKVReadRecLE, OKVReadRecLT}) {
    EXPECT_EQ(read(handle, 1, &value, record.data()), OKV_RECORD_NOT_FOUND);
  }
  EXPECT_EQ(OKVReadRecNX(handle, 0, record.data()), OKV_NO_CURRENT_RECORD);
  EXPECT_EQ(OKVReadRecPR(handle, 0, record.data()), OKV_NO_CURRENT_RECORD);
}

TEST_F(ReadTest, ArgumentsAndFileTypeAreChecked) {
  const uint16_t handle = TenTwentyTwentyThirty();
  Bytes record(kPersonSize);
  const uint32_t value = 10;
  EXPECT_EQ(OKVReadRecEQ(handle, 2, &value, record.data()), OKV_PARAMETER);
  EXPECT_EQ(OKVReadRecLO(handle, 2, record.data()), OKV_PARAMETER);
  EXPECT_EQ(OKVReadRecEQ(handle, 1, nullptr, record.data()), OKV_PARAMETER);
  EXPECT_EQ(OKVReadRecEQ(handle, 1, &value, nullptr), OKV_PARAMETER);
  EXPECT_EQ(OKVGetRecIX(handle, nullptr), OKV_PARAMETER);
  EXPECT_EQ(OKVReadRec(handle, record.data()), OKV_WRONG_FILE_TYPE);
  ASSERT_EQ(Define(Path("keyless.okv"), kPersonSize, {}), OKV_SUCCESS);
  const uint16_t keyless = Open(Path("keyless.okv"));
  EXPECT_EQ(OKVReadRec(keyless, record.data()), OKV_RECORD_NOT_FOUND);
  EXPECT_EQ(OKVReadRecLO(keyless, 0, record.data()), OKV_WRONG_FILE_TYPE);
  EXPECT_EQ(OKVReadRecEQ(keyless, 0, &value, record.data()), OKV_WRONG_FILE_TYPE);
  EXPECT_EQ(OKVReadRecIX(keyless, 500, record.data()), OKV_WRONG_FILE_TYPE);
}

TEST_F(ReadTest, AddressesStayValidAndFreedOnesAreNotFound) {
  const uint16_t handle = TenTwentyTwentyThirty();
  Bytes record(kPersonSize);
  ASSERT_EQ(OKVReadRecEQ(handle, 0, "TWENTY-B", record.data()), OKV_SUCCESS);
  uint32_t address = 0;
  ASSERT_EQ(OKVGetRecIX(handle, &address), OKV_SUCCESS);
  ASSERT_EQ(OKVReadRecEQ(handle, 0, "TEN", record.data()), OKV_SUCCESS);
  ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
  for (const char* name : {"X", "Y", "Z"}) ASSERT_EQ(OKVCreateRec(handle, Person(name, 5).data()), OKV_SUCCESS);
  ASSERT_EQ(OKVReadRecIX(handle, address, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "TWENTY-B");
  ASSERT_EQ(OKVReadRecNX(handle, 1, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "THIRTY");
  ASSERT_EQ(OKVReadRecIX(handle, address, record.data()), OKV_SUCCESS);
  ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
  EXPECT_EQ(OKVReadRecIX(handle, address, record.data()), OKV_RECORD_NOT_FOUND);
  uint32_t current = 0;
  EXPECT_EQ(OKVGetRecIX(handle, &current), OKV_NO_CURRENT_RECORD);
  EXPECT_EQ(OKVReadRecIX(handle, 0, record.data()), OKV_RECORD_NOT_FOUND);
  EXPECT_EQ(OKVReadRecIX(handle, 200, record.data()), OKV_PARAMETER);
  EXPECT_EQ(OKVReadRecIX(handle, 0x7FFFFFFF, record.data()), OKV_RECORD_NOT_FOUND);
}

TEST_F(ReadTest, NoCaseKeysIgnoreLetterCase) {
  const std::string path = Path("nocase.okv");
  ASSERT_EQ(
      Define(path, kPersonSize,
             {{OKV_KEY_STRING | OKV_KEY_NOCASE, 0, 16}, {OKV_KEY_BYTES | OKV_KEY_NOCASE | OKV_KEY_DUPLICATES, 20, 4}}),
      OKV_SUCCESS);
  const uint16_t handle = Open(path);
  Bytes smith = Person("SMITH", 0);
  std::memcpy(&smith[20], "AbCd", 4);
  ASSERT_EQ(OKVCreateRec(handle, smith.data()), OKV_SUCCESS);
  Bytes record(kPersonSize);
  ASSERT_EQ(OKVReadRecEQ(handle, 0, "smith", record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "SMITH");
  ASSERT_EQ(OKVReadRecEQ(handle, 1, "aBcD", record.data()), OKV_SUCCESS);
  EXPECT_EQ(OKVCreateRec(handle, Person("Smith", 1).data()), OKV_DUPLICATE_KEY);
  // Letters fold to lower case, so '_' (between the two cases) sorts before them.
  ASSERT_EQ(OKVCreateRec(handle, Person("_", 1).data()), OKV_SUCCESS);
  ASSERT_EQ(OKVCreateRec(handle, Person("b", 2).data()), OKV_SUCCESS);
  EXPECT_EQ(Walk(handle, 0), (std::vector<std::string>{"_", "b", "SMITH"}));
}

TEST_F(ReadTest, StringKeysStopAtTheTerminatorOrTheFieldsEnd) {
  const std::string path = Path("strings.okv");
  ASSERT_EQ(Define(path, 8, {{OKV_KEY_STRING, 0, 4}}), OKV_SUCCESS);
  const uint16_t handle = Open(path);
  const uint8_t full[8] = {'A', 'B', 'C', 'D', 'x', 'y', 0, 0};  // no terminator inside the field
  const uint8_t abc[8] = {'A', 'B', 'C', 0, 'z', 'z', 0, 0};
  ASSERT_EQ(OKVCreateRec(handle, full), OKV_SUCCESS);
  ASSERT_EQ(OKVCreateRec(handle, abc), OKV_SUCCESS);
  uint8_t record[8];
  ASSERT_EQ(OKVReadRecEQ(handle, 0, "ABCD", record), OKV_SUCCESS);
  EXPECT_EQ(record[4], 'x');
  // A probe longer than the key is read only up to the key length.
  ASSERT_EQ(OKVReadRecEQ(handle, 0, "ABCDEFGH", record), OKV_SUCCESS);
  EXPECT_EQ(record[4], 'x');
  ASSERT_EQ(OKVReadRecLT(handle, 0, "ABCD", record), OKV_SUCCESS);
  EXPECT_EQ(record[4], 'z');
  // A probe shorter than the key is read only up to its terminator.
  const char shortProbe[2] = {'A', 0};
  ASSERT_EQ(OKVReadRecGT(handle, 0, shortProbe, record), OKV_SUCCESS);
  EXPECT_EQ(record[4], 'z');
}

TEST_F(ReadTest, NumericKeysCompareByValue) {
  const std::string path = Path("numbers.okv");
  ASSERT_EQ(Define(path, 16,
                   {{OKV_KEY_SIGNED | OKV_KEY_DUPLICATES, 0, 2},
                    {OKV_KEY_FLOAT | OKV_KEY_DUPLICATES, 4, 8},
                    {OKV_KEY_FLOAT | OKV_KEY_DUPLICATES, 12, 4}}),
            OKV_SUCCESS);
  const uint16_t handle = Open(path);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    int16_t s;
    double d;
    float f;
  } rows[] = {{5, nan, 1.5f}, {-3, 2.5, -0.0f}, {300, -1e300, std::nanf("")}, {-300, 0.0, -7.0f}, {0, -0.0, 2.0f}};
  for (const auto& row : rows) {
    uint8_t record[16] = {};
    std::memcpy(record, &row.s, 2);
    std::memcpy(record + 4, &row.d, 8);
    std::memcpy(record + 12, &row.f, 4);
    ASSERT_EQ(OKVCreateRec(handle, record), OKV_SUCCESS);
  }
  auto order = [&](uint16_t key) {
    std::vector<int> signedValues;
    uint8_t record[16];
    for (uint8_t rc = OKVReadRecLO(handle, key, record); rc == OKV_SUCCESS; rc = OKVReadRecNX(handle, key, record)) {
      int16_t s;
      std::memcpy(&s, record, 2);
      signedValues.push_back(s);
    }
    return signedValues;
  };
  EXPECT_EQ(order(0), (std::vector<int>{-300, -3, 0, 5, 300}));
  // Doubles: -1e300, then 0.0 and -0.0 as equals in arrival order, 2.5, NaN last.
  EXPECT_EQ(order(1), (std::vector<int>{300, -300, 0, -3, 5}));
  EXPECT_EQ(order(2), (std::vector<int>{-300, -3, 5, 0, 300}));
  uint8_t record[16];
  ASSERT_EQ(OKVReadRecEQ(handle, 1, &nan, record), OKV_SUCCESS);
  EXPECT_EQ(record[0], 5);
  const double zero = 0.0;
  ASSERT_EQ(OKVReadRecLE(handle, 1, &zero, record), OKV_SUCCESS);
  EXPECT_EQ(record[0], 0);
  const int16_t minus3 = -3;
  ASSERT_EQ(OKVReadRecEQ(handle, 0, &minus3, record), OKV_SUCCESS);
}

TEST_F(ReadTest, KeylessRecordIsReadWhole) {
  const std::string path = Path("keyless.okv");
  ASSERT_EQ(Define(path, 12, {}), OKV_SUCCESS);
  const uint16_t handle = Open(path);
  const uint8_t record[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  ASSERT_EQ(OKVCreateRec(handle, record), OKV_SUCCESS);
  uint8_t back[12] = {};
  ASSERT_EQ(OKVReadRec(handle, back), OKV_SUCCESS);
  EXPECT_EQ(std::memcmp(back, record, 12), 0);
  EXPECT_EQ(OKVReadRec(handle, nullptr), OKV_PARAMETER);
}

}  // namespace
}  // namespace okv::testing
