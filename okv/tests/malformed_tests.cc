// Damaged files: every kind of damage ends a call with 11 (or 1/10 where the
// caller's address is at fault), never with a crash, a hang or a read past
// the file.
#include <functional>
#include <set>

#include "okv/format.h"
#include "okv/tests/okv_test_support.h"

namespace okv::testing {
namespace {

class MalformedTest : public OkvTest {
 protected:
  // Five balanced records A..E (levels 1, 2, 1, 3, 1) keyed by name and number.
  void SetUp() override {
    OkvTest::SetUp();
    const uint16_t handle = NewPeople("bad.okv");
    for (int i = 0; i < 5; ++i) {
      const char name[2] = {static_cast<char>('A' + i), 0};
      ASSERT_EQ(OKVCreateBTreeRec(handle, Person(name, i + 1).data()), OKV_SUCCESS);
      ASSERT_EQ(OKVGetRecIX(handle, &nodes_[i]), OKV_SUCCESS);
    }
    ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);  // E becomes the free list
    OKVCloseFile(handle);
    handles_.clear();
    good_ = ReadFile(Path("bad.okv"));
    m_ = good_[hdr::kMaxLevel];
  }

  // Offset of a node's link (key k, direction d, level l) inside the file.
  uint32_t LinkAt(int node, unsigned k, unsigned d, unsigned l) const {
    const uint32_t level = good_[nodes_[node]];
    return nodes_[node] + 1 + 8 * level * k + 4 * level * d + 4 * l;
  }

  // Runs a battery of calls on the damaged file; returns every result seen.
  std::set<int> Exercise() {
    std::set<int> seen;
    uint16_t handle = 0;
    const uint8_t opened = OKVOpenFile(Path("bad.okv").c_str(), 1, &handle);
    seen.insert(opened);
    if (opened != OKV_SUCCESS) return seen;
    Bytes record(kPersonSize);
    for (const char* name : {"A", "B", "C", "D", "E", "Z"}) {
      seen.insert(OKVReadRecEQ(handle, 0, name, record.data()));
      seen.insert(OKVReadRecLE(handle, 0, name, record.data()));
    }
    for (uint16_t key : {0, 1}) {
      uint8_t rc = OKVReadRecLO(handle, key, record.data());
      for (int steps = 0; rc == OKV_SUCCESS && steps < 50; ++steps) rc = OKVReadRecNX(handle, key, record.data());
      seen.insert(rc);
      rc = OKVReadRecHI(handle, key, record.data());
      for (int steps = 0; rc == OKV_SUCCESS && steps < 50; ++steps) rc = OKVReadRecPR(handle, key, record.data());
      seen.insert(rc);
    }
    for (uint32_t address : nodes_) seen.insert(OKVReadRecIX(handle, address, record.data()));
    seen.insert(OKVReadRecIX(handle, static_cast<uint32_t>(good_.size() + 100), record.data()));
    seen.insert(OKVCreateRec(handle, Person("NEW", 9).data()));
    seen.insert(OKVCreateBTreeRec(handle, Person("NEW2", 9).data()));
    if (OKVReadRecIX(handle, nodes_[2], record.data()) == OKV_SUCCESS) {
      seen.insert(OKVUpdateRec(handle, Person("ZZ", 0).data()));
      seen.insert(OKVDeleteRec(handle));
    }
    OKVCloseFile(handle);
    return seen;
  }

  void ExpectCorruptionReported(const std::function<void(Bytes&)>& damage, const char* what) {
    Bytes file = good_;
    damage(file);
    WriteFile(Path("bad.okv"), file);
    const std::set<int> seen = Exercise();
    EXPECT_TRUE(seen.count(OKV_FILE_CORRUPTED)) << what;
    for (int rc : seen) {
      EXPECT_TRUE(rc == OKV_SUCCESS || rc == OKV_PARAMETER || rc == OKV_RECORD_NOT_FOUND || rc == OKV_FILE_CORRUPTED ||
                  rc == OKV_DUPLICATE_KEY || rc == OKV_NO_CURRENT_RECORD)
          << what << ": " << rc;
    }
  }

  uint32_t nodes_[5] = {};
  Bytes good_;
  uint32_t m_ = 0;
};

TEST_F(MalformedTest, TheUndamagedFileWorks) {
  const std::set<int> seen = Exercise();
  EXPECT_FALSE(seen.count(OKV_FILE_CORRUPTED));
  // An address inside a node is read as a node and found not to be one.
  const uint16_t handle = Open(Path("bad.okv"));
  Bytes record(kPersonSize);
  for (uint32_t inside = nodes_[1] + 1; inside < nodes_[2]; ++inside) {
    const uint8_t rc = OKVReadRecIX(handle, inside, record.data());
    EXPECT_TRUE(rc == OKV_FILE_CORRUPTED || rc == OKV_SUCCESS || rc == OKV_RECORD_NOT_FOUND) << inside;
  }
}

TEST_F(MalformedTest, EveryKindOfDamageIsReportedAsCorruption) {
  const uint32_t size = static_cast<uint32_t>(good_.size());
  const struct {
    const char* what;
    std::function<void(Bytes&)> damage;
  } cases[] = {
      {"level byte 0", [&](Bytes& f) { f[nodes_[1]] = 0; }},
      {"level above maxLevel", [&](Bytes& f) { f[nodes_[1]] = static_cast<uint8_t>(m_ + 1); }},
      {"trailing level byte differs", [&](Bytes& f) { f[nodes_[1] + 1 + 8 * 2 * 2] = 1; }},
      {"link beyond the file", [&](Bytes& f) { PutLe32(f, LinkAt(0, 0, 0, 0), size + 10); }},
      {"link into the key blocks", [&](Bytes& f) { PutLe32(f, LinkAt(0, 0, 0, 0), 130); }},
      {"link into the middle of a node", [&](Bytes& f) { PutLe32(f, LinkAt(0, 0, 0, 0), nodes_[2] + 3); }},
      {"forward cycle", [&](Bytes& f) { PutLe32(f, LinkAt(2, 0, 0, 0), nodes_[1]); }},
      {"backward cycle", [&](Bytes& f) { PutLe32(f, LinkAt(1, 0, 1, 0), nodes_[2]); }},
      {"self link", [&](Bytes& f) { PutLe32(f, LinkAt(1, 0, 0, 1), nodes_[1]); }},
      {"broken mirror", [&](Bytes& f) { PutLe32(f, LinkAt(2, 0, 1, 0), nodes_[0]); }},
      {"link to a lower node at a high level",
       [&](Bytes& f) { PutLe32(f, KeyBlockOffset(0, m_) + 8 + 4 * 1, nodes_[0]); }},
      {"link to the free node", [&](Bytes& f) { PutLe32(f, LinkAt(3, 0, 0, 0), nodes_[4]); }},
      {"free head is a live node", [&](Bytes& f) { PutLe32(f, hdr::kFreeHead, nodes_[2]); }},
      {"free list runs off the file", [&](Bytes& f) { PutLe32(f, nodes_[4] + 1, size + 1000); }},
      {"last node cut short", [&](Bytes& f) { f.resize(f.size() - 5); }},
      {"current level above maxLevel", [&](Bytes& f) { f[hdr::kCurrentLevel] = static_cast<uint8_t>(m_ + 1); }},
      {"maxLevel 0", [&](Bytes& f) { f[hdr::kMaxLevel] = 0; }},
      {"key blocks beyond the file", [&](Bytes& f) { f[hdr::kKeyCount] = 200; }},
      {"bad key type", [&](Bytes& f) { f[KeyBlockOffset(1, m_) + 4] = 9; }},
      {"key beyond the record", [&](Bytes& f) { f[KeyBlockOffset(1, m_)] = 30; }},
  };
  for (const auto& c : cases) ExpectCorruptionReported(c.damage, c.what);
}

TEST_F(MalformedTest, KeylessFilesOfTheWrongSize) {
  ASSERT_EQ(Define(Path("single.okv"), 20, {}), OKV_SUCCESS);
  Bytes file = ReadFile(Path("single.okv"));
  file.resize(128 + 7);
  WriteFile(Path("single.okv"), file);
  const uint16_t handle = Open(Path("single.okv"));
  Bytes record(20);
  EXPECT_EQ(OKVReadRec(handle, record.data()), OKV_FILE_CORRUPTED);
  EXPECT_EQ(OKVCreateRec(handle, record.data()), OKV_FILE_CORRUPTED);
  EXPECT_EQ(OKVDeleteRec(handle), OKV_FILE_CORRUPTED);
}

}  // namespace
}  // namespace okv::testing
