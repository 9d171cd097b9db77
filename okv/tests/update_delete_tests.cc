// Updating and deleting records, and a long random mix checked against a model.
#include <map>
#include <random>

#include "okv/format.h"
#include "okv/tests/okv_test_support.h"

namespace okv::testing {
namespace {

class ChangeTest : public OkvTest {
 protected:
  uint16_t Fill(std::initializer_list<std::pair<const char*, uint32_t>> rows) {
    const uint16_t handle = NewPeople();
    for (const auto& [name, number] : rows) EXPECT_EQ(OKVCreateRec(handle, Person(name, number).data()), OKV_SUCCESS);
    return handle;
  }
  Bytes Find(uint16_t handle, const char* name) {
    Bytes record(kPersonSize);
    EXPECT_EQ(OKVReadRecEQ(handle, 0, name, record.data()), OKV_SUCCESS) << name;
    return record;
  }
};

TEST_F(ChangeTest, DeletingTheOnlyRecordEmptiesTheLists) {
  const uint16_t handle = Fill({{"ONLY", 1}});
  uint32_t address = 0;
  ASSERT_EQ(OKVGetRecIX(handle, &address), OKV_SUCCESS);
  const size_t size = ReadFile(Path("people.okv")).size();
  ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
  const Bytes file = ReadFile(Path("people.okv"));
  EXPECT_EQ(file.size(), size);
  EXPECT_EQ(Le32(file, hdr::kRecordCount), 0u);
  EXPECT_EQ(Le32(file, hdr::kNodeCount), 1u);
  EXPECT_EQ(Le32(file, hdr::kFreeHead), address);
  EXPECT_EQ(file[hdr::kCurrentLevel], 0);
  EXPECT_EQ(file[address] & 0x80, 0x80);
  for (size_t at = 128; at < address; ++at) {
    if ((at - 128) % (8 + 8 * file[hdr::kMaxLevel]) >= 8) {
      ASSERT_EQ(file[at], 0) << at;
    }
  }
  EXPECT_EQ(OKVDeleteRec(handle), OKV_NO_CURRENT_RECORD);
  Bytes record(kPersonSize);
  EXPECT_EQ(OKVReadRecLO(handle, 0, record.data()), OKV_RECORD_NOT_FOUND);
}

TEST_F(ChangeTest, SteppingFromADeletedRecordReachesItsNeighbours) {
  const uint16_t handle = Fill({{"A", 3}, {"B", 2}, {"C", 1}});
  Find(handle, "B");
  ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
  Bytes record(kPersonSize);
  ASSERT_EQ(OKVReadRecNX(handle, 0, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "C");
  Find(handle, "A");
  ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
  ASSERT_EQ(OKVReadRecPR(handle, 1, record.data()), OKV_SUCCESS);  // by number, C (1) precedes A (3)
  EXPECT_EQ(NameOf(record), "C");
  EXPECT_EQ(Walk(handle, 0), (std::vector<std::string>{"C"}));
}

TEST_F(ChangeTest, ARecordDeletedElsewhereGivesNothingToStepTo) {
  const uint16_t first = Fill({{"A", 1}, {"B", 2}, {"C", 3}});
  const uint16_t second = Open(Path("people.okv"));
  Bytes record(kPersonSize);
  ASSERT_EQ(OKVReadRecEQ(first, 0, "B", record.data()), OKV_SUCCESS);
  ASSERT_EQ(OKVReadRecEQ(second, 0, "B", record.data()), OKV_SUCCESS);
  ASSERT_EQ(OKVDeleteRec(second), OKV_SUCCESS);
  EXPECT_EQ(OKVReadRecNX(first, 0, record.data()), OKV_RECORD_NOT_FOUND);
  EXPECT_EQ(OKVReadRecPR(first, 0, record.data()), OKV_RECORD_NOT_FOUND);
  EXPECT_EQ(OKVDeleteRec(first), OKV_RECORD_NOT_FOUND);
  EXPECT_EQ(OKVUpdateRec(first, Person("B2", 2).data()), OKV_RECORD_NOT_FOUND);
  // The neighbour the second handle saved is deleted through the first.
  ASSERT_EQ(OKVReadRecEQ(first, 0, "C", record.data()), OKV_SUCCESS);
  ASSERT_EQ(OKVDeleteRec(first), OKV_SUCCESS);
  EXPECT_EQ(OKVReadRecNX(second, 0, record.data()), OKV_RECORD_NOT_FOUND);
  ASSERT_EQ(OKVReadRecPR(second, 0, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "A");
}

TEST_F(ChangeTest, UpdateWithoutKeyChangesRewritesOnlyTheBody) {
  const uint16_t handle = Fill({{"A", 1}, {"B", 2}, {"C", 3}});
  Find(handle, "B");
  const Bytes before = ReadFile(Path("people.okv"));
  ASSERT_EQ(OKVUpdateRec(handle, Person("B", 2, 0x77).data()), OKV_SUCCESS);
  const Bytes after = ReadFile(Path("people.okv"));
  size_t differing = 0;
  for (size_t i = 0; i < before.size(); ++i) differing += before[i] != after[i];
  EXPECT_EQ(differing, 1u);
  EXPECT_EQ(Find(handle, "B")[31], 0x77);
}

TEST_F(ChangeTest, ChangedKeysMoveTheRecordWhichKeepsItsAddress) {
  const uint16_t handle = Fill({{"A", 5}, {"B", 5}, {"C", 1}, {"D", 9}});
  Find(handle, "C");
  uint32_t address = 0, after = 0;
  ASSERT_EQ(OKVGetRecIX(handle, &address), OKV_SUCCESS);
  ASSERT_EQ(OKVUpdateRec(handle, Person("E", 5).data()), OKV_SUCCESS);
  ASSERT_EQ(OKVGetRecIX(handle, &after), OKV_SUCCESS);
  EXPECT_EQ(after, address);
  EXPECT_EQ(Walk(handle, 0), (std::vector<std::string>{"A", "B", "D", "E"}));
  // Taking a shared value puts the record after those that had it.
  EXPECT_EQ(Walk(handle, 1), (std::vector<std::string>{"A", "B", "E", "D"}));
  const uint32_t five = 5;
  Bytes record(kPersonSize);
  ASSERT_EQ(OKVReadRecEQ(handle, 1, &five, record.data()), OKV_SUCCESS);
  EXPECT_EQ(NameOf(record), "A");
  EXPECT_EQ(Walk(handle, 1, true), (std::vector<std::string>{"D", "E", "B", "A"}));
}

TEST_F(ChangeTest, AUniqueKeyCollisionRefusesTheWholeUpdate) {
  const uint16_t handle = Fill({{"A", 1}, {"B", 2}});
  Find(handle, "B");
  const Bytes before = ReadFile(Path("people.okv"));
  // Key 1 (number) changes first, then key 0 collides: nothing may change.
  EXPECT_EQ(OKVUpdateRec(handle, Person("A", 7).data()), OKV_DUPLICATE_KEY);
  ASSERT_EQ(OKVSetSafeWrites(handle, 0), OKV_SUCCESS);
  EXPECT_EQ(OKVUpdateRec(handle, Person("A", 7).data()), OKV_DUPLICATE_KEY);
  EXPECT_EQ(ReadFile(Path("people.okv")), before);
  EXPECT_EQ(OKVUpdateRec(handle, nullptr), OKV_PARAMETER);
}

TEST_F(ChangeTest, KeylessDeleteAndUpdate) {
  const std::string path = Path("one.okv");
  ASSERT_EQ(Define(path, 16, {}), OKV_SUCCESS);
  const uint16_t handle = Open(path);
  const Bytes first(16, 1), second(16, 2);
  EXPECT_EQ(OKVUpdateRec(handle, first.data()), OKV_NO_CURRENT_RECORD);
  EXPECT_EQ(OKVDeleteRec(handle), OKV_RECORD_NOT_FOUND);
  ASSERT_EQ(OKVCreateRec(handle, first.data()), OKV_SUCCESS);
  ASSERT_EQ(OKVUpdateRec(handle, second.data()), OKV_SUCCESS);
  Bytes back(16);
  ASSERT_EQ(OKVReadRec(handle, back.data()), OKV_SUCCESS);
  EXPECT_EQ(back, second);
  ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
  EXPECT_EQ(ReadFile(path).size(), 128u);
  EXPECT_EQ(OKVDeleteRec(handle), OKV_RECORD_NOT_FOUND);
  EXPECT_EQ(OKVUpdateRec(handle, first.data()), OKV_NO_CURRENT_RECORD);
  ASSERT_EQ(OKVCreateRec(handle, first.data()), OKV_SUCCESS);
  uint32_t records = 0, nodes = 0;
  ASSERT_EQ(OKVNumRecords(handle, &records, &nodes), OKV_SUCCESS);
  EXPECT_EQ(records, 1u);
  EXPECT_EQ(nodes, 1u);
}

// Random adds, updates and deletes, with and without journal, compared after
// every step with a model of both keys' orders.
TEST_F(ChangeTest, RandomChangesKeepBothOrdersExact) {
  const uint16_t handle = NewPeople();
  std::mt19937 random(20240611);
  std::map<std::string, uint32_t> byName;
  std::multimap<uint32_t, std::string> byNumber;  // equal numbers in the order they were taken
  auto numberOrder = [&] {
    std::vector<std::string> names;
    for (const auto& [number, name] : byNumber) names.push_back(name);
    return names;
  };
  auto nameOrder = [&] {
    std::vector<std::string> names;
    for (const auto& [name, number] : byName) names.push_back(name);
    return names;
  };
  auto eraseNumber = [&](const std::string& name) {
    for (auto it = byNumber.begin(); it != byNumber.end(); ++it) {
      if (it->second == name) {
        byNumber.erase(it);
        return;
      }
    }
  };
  for (int step = 0; step < 300; ++step) {
    ASSERT_EQ(OKVSetSafeWrites(handle, step % 3 == 0), OKV_SUCCESS);
    const std::string name = "N" + std::to_string(random() % 60);
    const uint32_t number = random() % 8;
    const int action = static_cast<int>(random() % 3);
    Bytes record(kPersonSize);
    const bool present = byName.count(name) != 0;
    if (action == 0) {
      const uint8_t rc = step % 2 ? OKVCreateRec(handle, Person(name.c_str(), number).data())
                                  : OKVCreateBTreeRec(handle, Person(name.c_str(), number).data());
      ASSERT_EQ(rc, present ? OKV_DUPLICATE_KEY : OKV_SUCCESS) << step;
      if (!present) {
        byName[name] = number;
        byNumber.emplace(number, name);
      }
    } else if (present) {
      ASSERT_EQ(OKVReadRecEQ(handle, 0, name.c_str(), record.data()), OKV_SUCCESS);
      if (action == 1) {
        const std::string renamed = random() % 2 ? name : "N" + std::to_string(random() % 60);
        const uint8_t rc = OKVUpdateRec(handle, Person(renamed.c_str(), number).data());
        const bool collides = renamed != name && byName.count(renamed) != 0;
        ASSERT_EQ(rc, collides ? OKV_DUPLICATE_KEY : OKV_SUCCESS) << step;
        if (!collides) {
          const bool numberChanged = byName[name] != number;
          byName.erase(name);
          byName[renamed] = number;
          if (numberChanged) {
            eraseNumber(name);
            byNumber.emplace(number, renamed);
          } else {
            for (auto& entry : byNumber) {
              if (entry.second == name) entry.second = renamed;
            }
          }
        }
      } else {
        ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS) << step;
        byName.erase(name);
        eraseNumber(name);
      }
    }
    ASSERT_EQ(Walk(handle, 0), nameOrder()) << step;
    ASSERT_EQ(Walk(handle, 1), numberOrder()) << step;
    std::vector<std::string> backwards = numberOrder();
    std::reverse(backwards.begin(), backwards.end());
    ASSERT_EQ(Walk(handle, 1, true), backwards) << step;
  }
  uint32_t records = 0, nodes = 0;
  ASSERT_EQ(OKVNumRecords(handle, &records, &nodes), OKV_SUCCESS);
  EXPECT_EQ(records, byName.size());
  EXPECT_FALSE(Exists(Path("people.okt")));
}

}  // namespace
}  // namespace okv::testing
