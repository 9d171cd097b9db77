// Tests of the OKV file checker: sound files built byte by byte pass, each kind
// of damage is named, key order follows each key type's rules, enciphered
// bodies are verified with the right key, and files written by the engine pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>

#include "okv/check/okv_check.h"
#include "okv/check/tests/okv_file_builder.h"
#include "okv/okv.h"

namespace okv::check {
namespace {

using testing::BuildFile;
using testing::BuiltFile;
using testing::FileSpec;
using testing::NodeSpec;
using testing::Put16;
using testing::Put32;

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line + "\n";
  return all;
}

std::vector<uint8_t> Body(uint32_t id, const char* route) {
  std::vector<uint8_t> body(8, 0);
  Put32(body, 0, id);
  std::strncpy(reinterpret_cast<char*>(body.data() + 4), route, 4);
  return body;
}

// Five nodes of 8-byte records: key 0 a unique u32 id, key 1 a 4-byte text
// route allowing duplicates. Node 2 is free; node 1 has level 3, node 3 level 2.
FileSpec CustomerSpec() {
  FileSpec layout;
  layout.recordSize = 8;
  layout.keys = {{0, 4, OKV_KEY_UNSIGNED}, {4, 4, OKV_KEY_STRING | OKV_KEY_DUPLICATES}};
  layout.nodes = {
      {Body(30, "B"), 1},
      {Body(10, "A"), 3},
      {std::vector<uint8_t>(8, 0xEE), 2, true},
      {Body(20, "B"), 2},
      {Body(40, "A"), 1},
  };
  layout.orders = {{1, 3, 0, 4}, {1, 4, 0, 3}};
  layout.freeList = {2};
  return layout;
}

TEST(OkvCheckBuiltFiles, SoundFilesPass) {
  FileSpec customers = CustomerSpec();
  EXPECT_EQ(Joined(CheckOkvBytes(BuildFile(customers).bytes)), "");

  FileSpec empty = customers;
  empty.nodes.clear();
  empty.orders = {{}, {}};
  empty.freeList.clear();
  EXPECT_EQ(Joined(CheckOkvBytes(BuildFile(empty).bytes)), "");

  FileSpec allFree = customers;
  allFree.nodes = {{std::vector<uint8_t>(8, 0), 2, true}, {std::vector<uint8_t>(8, 0), 1, true}};
  allFree.orders = {{}, {}};
  allFree.freeList = {1, 0};
  EXPECT_EQ(Joined(CheckOkvBytes(BuildFile(allFree).bytes)), "");

  // A file from before record encryption is plain whatever its encrypted byte says.
  FileSpec old = customers;
  old.version = 0x0106;
  BuiltFile oldFile = BuildFile(old);
  oldFile.bytes[26] = 1;
  EXPECT_EQ(Joined(CheckOkvBytes(oldFile.bytes)), "");
}

TEST(OkvCheckBuiltFiles, KeylessFiles) {
  FileSpec layout;
  layout.recordSize = 20;
  std::vector<uint8_t> empty = BuildFile(layout).bytes;
  EXPECT_EQ(Joined(CheckOkvBytes(empty)), "");

  std::vector<uint8_t> withRecord = empty;
  withRecord.resize(128 + 20, 'x');
  Put32(withRecord, 12, 1);
  Put32(withRecord, 16, 1);
  EXPECT_EQ(Joined(CheckOkvBytes(withRecord)), "");

  std::vector<uint8_t> uncounted = withRecord;
  Put32(uncounted, 16, 0);
  EXPECT_NE(Joined(CheckOkvBytes(uncounted)).find("recordCount 0, expected 1 and 1"), std::string::npos);

  std::vector<uint8_t> countedButEmpty = empty;
  Put32(countedButEmpty, 16, 1);
  EXPECT_NE(Joined(CheckOkvBytes(countedButEmpty)).find("expected 0 and 0"), std::string::npos);

  std::vector<uint8_t> oddSize = withRecord;
  oddSize.push_back(0);
  EXPECT_NE(Joined(CheckOkvBytes(oddSize)).find("keyless file is 149 bytes, expected 128 or 148"),
            std::string::npos);
}

struct Damage {
  const char* name;
  std::function<void(BuiltFile&, const FileSpec&)> apply;
  const char* expected;  // a part of one reported line
};

class OkvCheckDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(OkvCheckDamage, IsReported) {
  FileSpec layout = CustomerSpec();
  BuiltFile file = BuildFile(layout);
  GetParam().apply(file, layout);
  std::string report = Joined(CheckOkvBytes(file.bytes));
  EXPECT_NE(report.find(GetParam().expected), std::string::npos) << report;
}

const Damage kDamages[] = {
    {"WrongMagic", [](BuiltFile& f, const FileSpec&) { f.bytes[3] = 'k'; }, "magic is not"},
    {"TruncatedHeader", [](BuiltFile& f, const FileSpec&) { f.bytes.resize(100); }, "shorter than the 128-byte"},
    {"TruncatedFile", [](BuiltFile& f, const FileSpec&) { f.bytes.resize(f.bytes.size() - 3); },
     "runs past the end of the file"},
    {"TruncatedKeyBlocks", [](BuiltFile& f, const FileSpec&) { f.bytes.resize(200); }, "too short for 2 key blocks"},
    {"NotFinalized", [](BuiltFile& f, const FileSpec&) { f.bytes[93] = 1; }, "never finalized"},
    {"UnknownVersion", [](BuiltFile& f, const FileSpec&) { Put16(f.bytes, 4, 0x0200); }, "version 0x0200"},
    {"WrongMaxLevel", [](BuiltFile& f, const FileSpec&) { f.bytes[28] = 28; }, "maxLevel is 28, expected 29"},
    {"ZeroLevelByte", [](BuiltFile& f, const FileSpec&) { f.bytes[f.nodeAt[0]] = 0; }, "level byte 0x00"},
    {"LevelAboveMax", [](BuiltFile& f, const FileSpec&) { f.bytes[f.nodeAt[4]] = 30; }, "level byte 0x1E"},
    {"TrailingLevelByte",
     [](BuiltFile& f, const FileSpec&) { f.bytes[f.nodeAt[3] + 1 + 8 * 2 * 2] = 1; }, "trailing level byte 0x01"},
    {"BrokenBackwardLink",
     [](BuiltFile& f, const FileSpec& s) { Put32(f.bytes, f.BackwardLinkAt(s, 0, 0, 0), f.nodeAt[1]); },
     "links backward to"},
    {"WrongBackwardHead",
     [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, f.BackwardHeadAt(1, 0), f.nodeAt[4]); }, "backward head is"},
    {"OutOfOrderKeys", [](BuiltFile& f, const FileSpec& s) { Put32(f.bytes, f.BodyAt(s, 3), 35); },
     "but has a smaller key"},
    {"DuplicateInUniqueKey", [](BuiltFile& f, const FileSpec& s) { Put32(f.bytes, f.BodyAt(s, 3), 10); },
     "equal values in a key without duplicates"},
    {"FreeListCycle", [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, f.nodeAt[2] + 1, f.nodeAt[2]); },
     "is reached a second time"},
    {"FreeListNamesLiveNode", [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, 8, f.nodeAt[0]); },
     "is not marked free"},
    {"FreeListIntoNodeMiddle", [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, 8, f.nodeAt[0] + 4); },
     "freeHead names offset"},
    {"FreeNodeWithLinks", [](BuiltFile& f, const FileSpec&) { f.bytes[f.nodeAt[2] + 9] = 1; },
     "link bytes besides the next pointer"},
    {"FreeNodeOffTheList", [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, 8, 0); },
     "free list holds 0 nodes but 1 nodes are marked free"},
    {"WrongRecordCount", [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, 16, 6); }, "recordCount is 6"},
    {"MoreRecordsThanNodes", [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, 16, 6); },
     "nodeCount - recordCount is -1"},
    {"WrongNodeCount", [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, 12, 4); }, "nodeCount is 4"},
    {"CurrentLevelTooLow", [](BuiltFile& f, const FileSpec&) { f.bytes[27] = 1; },
     "currentLevel 1 is below the highest level in use, 3"},
    {"ListAboveCurrentLevel", [](BuiltFile& f, const FileSpec&) { f.bytes[27] = 2; },
     "key 0 level 2: list is not empty although currentLevel is 2"},
    {"CurrentLevelAboveMax", [](BuiltFile& f, const FileSpec&) { f.bytes[27] = 30; }, "currentLevel 30 is above"},
    {"NodeLeftOutOfList",
     [](BuiltFile& f, const FileSpec& s) {
       Put32(f.bytes, f.ForwardLinkAt(s, 1, 1, 0), f.nodeAt[0]);
       Put32(f.bytes, f.BackwardLinkAt(s, 0, 1, 0), f.nodeAt[1]);
     },
     "key 1 level 0: 1 of the 4 live nodes of that level are not in the list"},
    {"LinkToFreeNode", [](BuiltFile& f, const FileSpec& s) { Put32(f.bytes, f.ForwardLinkAt(s, 1, 0, 0), f.nodeAt[2]); },
     "list reaches free node"},
    {"LinkIntoNodeMiddle",
     [](BuiltFile& f, const FileSpec& s) { Put32(f.bytes, f.ForwardLinkAt(s, 1, 0, 0), f.nodeAt[3] + 1); },
     "which is not a node start"},
    {"HeadIntoNodeMiddle", [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, f.ForwardHeadAt(0, 0), 130); },
     "forward head 130 is not a node start"},
    {"LinkAboveNodeLevel", [](BuiltFile& f, const FileSpec&) { Put32(f.bytes, f.ForwardHeadAt(0, 1), f.nodeAt[0]); },
     "whose level is only 1"},
    {"ForwardCycle", [](BuiltFile& f, const FileSpec& s) { Put32(f.bytes, f.ForwardLinkAt(s, 4, 0, 0), f.nodeAt[1]); },
     "a second time"},
    {"HigherLevelAgainstLevelZero",
     [](BuiltFile& f, const FileSpec& s) {
       // Level 1 of key 0 holds nodes 1 and 3; list them the other way round.
       Put32(f.bytes, f.ForwardHeadAt(0, 1), f.nodeAt[3]);
       Put32(f.bytes, f.ForwardLinkAt(s, 3, 0, 1), f.nodeAt[1]);
       Put32(f.bytes, f.ForwardLinkAt(s, 1, 0, 1), 0);
       Put32(f.bytes, f.BackwardLinkAt(s, 3, 0, 1), 0);
       Put32(f.bytes, f.BackwardLinkAt(s, 1, 0, 1), f.nodeAt[3]);
       Put32(f.bytes, f.BackwardHeadAt(0, 1), f.nodeAt[1]);
     },
     "against the level-0 order"},
    {"UnknownKeyType", [](BuiltFile& f, const FileSpec&) { f.bytes[128 + f.keyBlockSize + 4] = 5; },
     "type byte 0x05 names no key type"},
    {"KeyLengthForType", [](BuiltFile& f, const FileSpec&) { Put16(f.bytes, 128 + 2, 3); },
     "length 3 is not allowed for type 2"},
    {"KeyBeyondRecord", [](BuiltFile& f, const FileSpec&) { Put16(f.bytes, 128 + f.keyBlockSize, 6); },
     "lies beyond the 8-byte record"},
};

INSTANTIATE_TEST_SUITE_P(Cases, OkvCheckDamage, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OkvCheckLimits, ManyProblemsAreCountedNotListed) {
  FileSpec layout = CustomerSpec();
  layout.nodes.clear();
  layout.orders = {{}, {}};
  layout.freeList.clear();
  for (uint32_t i = 0; i < 100; ++i) layout.nodes.push_back({Body(i, "A"), 1});
  for (std::size_t i = 0; i < 100; ++i) layout.orders[0].push_back(99 - i);  // descending: every step out of order
  for (std::size_t i = 0; i < 100; ++i) layout.orders[1].push_back(i);
  std::vector<std::string> report = CheckOkvBytes(BuildFile(layout).bytes);
  ASSERT_EQ(report.size(), kMaxProblemLines + 1);
  EXPECT_EQ(report.back(), "... and 49 more problems");
}

TEST(OkvCheckLimits, UnreadableFileIsReported) {
  std::vector<std::string> report = CheckOkvFile("/nonexistent/folder/file.okv");
  ASSERT_EQ(report.size(), 1u);
  EXPECT_NE(report[0].find("cannot read the file"), std::string::npos);
}

// Two records in the order given must pass; the other way round they must be
// reported. The pair is chosen so that a wrong reading of the type would fail.
struct OrderCase {
  const char* name;
  uint8_t type;
  std::vector<uint8_t> smaller;
  std::vector<uint8_t> larger;
};

template <typename T>
std::vector<uint8_t> Le(T value) {
  std::vector<uint8_t> bytes(sizeof(T));
  std::memcpy(bytes.data(), &value, sizeof(T));
  return bytes;
}

std::vector<uint8_t> Text(std::string_view text, std::size_t length) {
  std::vector<uint8_t> bytes(length, 0);
  std::memcpy(bytes.data(), text.data(), std::min(text.size(), length));
  return bytes;
}

class OkvCheckKeyOrder : public ::testing::TestWithParam<OrderCase> {};

FileSpec TwoRecords(const OrderCase& c, bool swapped) {
  FileSpec layout;
  layout.recordSize = static_cast<uint16_t>(c.smaller.size());
  layout.keys = {{0, layout.recordSize, c.type}};
  layout.nodes = {{c.smaller, 1}, {c.larger, 2}};
  layout.orders = {swapped ? std::vector<std::size_t>{1, 0} : std::vector<std::size_t>{0, 1}};
  return layout;
}

TEST_P(OkvCheckKeyOrder, FollowsTheKeyType) {
  EXPECT_EQ(Joined(CheckOkvBytes(BuildFile(TwoRecords(GetParam(), false)).bytes)), "");
  EXPECT_NE(Joined(CheckOkvBytes(BuildFile(TwoRecords(GetParam(), true)).bytes)).find("has a smaller key"),
            std::string::npos);
}

const OrderCase kOrderCases[] = {
    {"Unsigned1", OKV_KEY_UNSIGNED, Le<uint8_t>(1), Le<uint8_t>(200)},
    {"Unsigned2", OKV_KEY_UNSIGNED, Le<uint16_t>(255), Le<uint16_t>(256)},
    {"Unsigned4", OKV_KEY_UNSIGNED, Le<uint32_t>(1), Le<uint32_t>(0x80000000u)},
    {"Signed1", OKV_KEY_SIGNED, Le<int8_t>(-128), Le<int8_t>(127)},
    {"Signed2", OKV_KEY_SIGNED, Le<int16_t>(-300), Le<int16_t>(5)},
    {"Signed4", OKV_KEY_SIGNED, Le<int32_t>(-1), Le<int32_t>(1)},
    {"Float4", OKV_KEY_FLOAT, Le<float>(-1.5f), Le<float>(0.25f)},
    {"Float8", OKV_KEY_FLOAT, Le<double>(-2.0), Le<double>(1e300)},
    {"Float8NanLast", OKV_KEY_FLOAT, Le<double>(1.0), Le<double>(std::numeric_limits<double>::quiet_NaN())},
    {"StringStopsAtTerminator", OKV_KEY_STRING, {'A', 'B', 0, 'z'}, {'A', 'B', 'C', 0}},
    {"StringWithoutTerminator", OKV_KEY_STRING, Text("ABC", 4), Text("ABCD", 4)},
    {"StringNoCase", OKV_KEY_STRING | OKV_KEY_NOCASE, Text("apple", 8), Text("BANANA", 8)},
    {"StringCaseMatters", OKV_KEY_STRING, Text("BANANA", 8), Text("apple", 8)},
    {"Bytes", OKV_KEY_BYTES, {0x01, 0xFF}, {0x02, 0x00}},
    {"BytesNoCase", OKV_KEY_BYTES | OKV_KEY_NOCASE, {'a', 'Z'}, {'B', 'a'}},
};

INSTANTIATE_TEST_SUITE_P(Types, OkvCheckKeyOrder, ::testing::ValuesIn(kOrderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OkvCheckKeyOrder, EqualValuesPassOnlyWithDuplicates) {
  OrderCase same{"Same", OKV_KEY_UNSIGNED, Le<uint16_t>(7), Le<uint16_t>(7)};
  EXPECT_NE(Joined(CheckOkvBytes(BuildFile(TwoRecords(same, false)).bytes)).find("equal values"), std::string::npos);
  same.type |= OKV_KEY_DUPLICATES;
  EXPECT_EQ(Joined(CheckOkvBytes(BuildFile(TwoRecords(same, false)).bytes)), "");
  // Folded case makes two texts equal.
  OrderCase folded{"Folded", OKV_KEY_STRING | OKV_KEY_NOCASE, Text("smith", 6), Text("SMITH", 6)};
  EXPECT_NE(Joined(CheckOkvBytes(BuildFile(TwoRecords(folded, false)).bytes)).find("equal values"),
            std::string::npos);
}

// ---- Enciphered bodies (the engine's cipher builds them) -------------------

constexpr uint8_t kKeyA[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                               17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

std::vector<uint8_t> Enciphered(const uint8_t* key, const std::vector<uint8_t>& record, uint32_t stored) {
  std::vector<uint8_t> body(stored, 0);
  EXPECT_EQ(OKVEncrypt(key, record.data(), static_cast<uint16_t>(record.size()), body.data(),
                       static_cast<uint16_t>(stored)),
            OKV_SUCCESS);
  return body;
}

class OkvCheckEnciphered : public ::testing::Test {
 protected:
  void SetUp() override { UseLockFolder(); }

  // One private folder for the engine's lock and files, removed at exit.
  static void UseLockFolder() {
    struct Folder {
      std::string path = (std::filesystem::temp_directory_path() / "okvcheck-XXXXXX").string();
      Folder() { EXPECT_NE(mkdtemp(path.data()), nullptr); }
      ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
      }
    };
    static Folder folder;
    setenv("TRK_LOCK_DIR", folder.path.c_str(), 1);
    setenv("TRK_FOLDER", folder.path.c_str(), 1);
  }

  // The customer file enciphered with `key`, which the header stores or not.
  static BuiltFile Build(const uint8_t* key, bool storeKey) {
    FileSpec layout = CustomerSpec();
    layout.encrypted = 1;
    if (storeKey) std::memcpy(layout.storedKey, key, 32);
    uint32_t stored = testing::StoredSize(layout);
    for (NodeSpec& node : layout.nodes) {
      node.body = node.free ? std::vector<uint8_t>(stored, 0x55) : Enciphered(key, node.body, stored);
    }
    return BuildFile(layout);
  }
};

TEST_F(OkvCheckEnciphered, BodiesDecipherWithTheRightKey) {
  EXPECT_EQ(Joined(CheckOkvBytes(Build(kKeyA, true).bytes)), "");

  BuiltFile otherKey = Build(kKeyA, false);  // the header stores zeros
  EXPECT_NE(Joined(CheckOkvBytes(otherKey.bytes)).find("does not decipher to a 8-byte record"), std::string::npos);
  EXPECT_EQ(Joined(CheckOkvBytes(otherKey.bytes, kKeyA)), "");
}

TEST_F(OkvCheckEnciphered, DamagedBodyIsReported) {
  BuiltFile file = Build(kKeyA, true);
  file.bytes[file.nodeAt[3] + 2 + 8 * 2 * 2] ^= 0x01;  // first byte of node 3's body
  std::string report = Joined(CheckOkvBytes(file.bytes));
  EXPECT_NE(report.find("record body at " + std::to_string(file.nodeAt[3] + 2 + 8 * 2 * 2)), std::string::npos)
      << report;
}

// ---- Files written by the engine -----------------------------------------

class OkvCheckEngineFiles : public OkvCheckEnciphered {
 protected:
  void SetUp() override {
    OkvCheckEnciphered::SetUp();
    path_ = std::string(std::getenv("TRK_FOLDER")) + "/engine-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".okv";
    OKVDeleteFile(path_.c_str());
  }
  void TearDown() override { OKVDeleteFile(path_.c_str()); }

  // 24-byte records: u32 id (unique), text[8] name (no case, duplicates), i16 balance (duplicates).
  void Create(uint8_t encrypted, const uint8_t* key) {
    uint16_t number = 0;
    ASSERT_EQ(OKVCreateFile(path_.c_str(), OKV_OPEN_FLAGS_DEFAULT, 24, encrypted, key, "engine test", 7), OKV_SUCCESS);
    ASSERT_EQ(OKVCreateKey(path_.c_str(), OKV_KEY_UNSIGNED, 0, 4, &number), OKV_SUCCESS);
    ASSERT_EQ(OKVCreateKey(path_.c_str(), OKV_KEY_STRING | OKV_KEY_NOCASE | OKV_KEY_DUPLICATES, 4, 8, &number),
              OKV_SUCCESS);
    ASSERT_EQ(OKVCreateKey(path_.c_str(), OKV_KEY_SIGNED | OKV_KEY_DUPLICATES, 12, 2, &number), OKV_SUCCESS);
    ASSERT_EQ(OKVFinalizeCreate(path_.c_str()), OKV_SUCCESS);
  }

  static std::vector<uint8_t> Record(uint32_t id, std::mt19937& random) {
    static const char* kNames[] = {"smith", "SMITH", "jones", "Brown", "adams", "zed", "", "Smith"};
    std::vector<uint8_t> record(24, 0);
    Put32(record, 0, id);
    std::strncpy(reinterpret_cast<char*>(record.data() + 4), kNames[random() % 8], 7);
    Put16(record, 12, static_cast<uint16_t>(static_cast<int16_t>(random() % 200) - 100));
    return record;
  }

  // Adds, updates and deletes at random, in both add modes, then checks.
  void Churn(uint16_t handle, int steps) {
    std::mt19937 random(1234);
    std::vector<uint32_t> ids;
    for (int i = 0; i < steps; ++i) {
      uint32_t action = ids.empty() ? 0 : random() % 4;
      if (action <= 1) {
        uint32_t id = static_cast<uint32_t>(random() % 100000);
        auto add = action == 0 ? OKVCreateRec : OKVCreateBTreeRec;
        if (add(handle, Record(id, random).data()) == OKV_SUCCESS) ids.push_back(id);
        continue;
      }
      std::size_t pick = random() % ids.size();
      std::vector<uint8_t> found(24);
      ASSERT_EQ(OKVReadRecEQ(handle, 0, &ids[pick], found.data()), OKV_SUCCESS);
      if (action == 2) {
        ASSERT_EQ(OKVUpdateRec(handle, Record(ids[pick], random).data()), OKV_SUCCESS);
      } else {
        ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
        ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(pick));
      }
    }
  }

  std::string path_;
};

TEST_F(OkvCheckEngineFiles, PlainFileAfterChurnPasses) {
  Create(0, nullptr);
  uint16_t handle = 0;
  ASSERT_EQ(OKVOpenFile(path_.c_str(), 1, &handle), OKV_SUCCESS);
  ASSERT_EQ(OKVSetSafeWrites(handle, 0), OKV_SUCCESS);
  Churn(handle, 400);
  ASSERT_EQ(OKVCloseFile(handle), OKV_SUCCESS);
  EXPECT_EQ(Joined(CheckOkvFile(path_)), "");
}

TEST_F(OkvCheckEngineFiles, EncipheredFileAfterChurnPasses) {
  Create(1, kKeyA);
  uint16_t handle = 0;
  ASSERT_EQ(OKVOpenFile(path_.c_str(), 1, &handle), OKV_SUCCESS);
  Churn(handle, 120);
  ASSERT_EQ(OKVCloseFile(handle), OKV_SUCCESS);
  EXPECT_EQ(Joined(CheckOkvFile(path_)), "");
}

TEST_F(OkvCheckEngineFiles, KeylessFileThroughItsLife) {
  ASSERT_EQ(OKVCreateFile(path_.c_str(), OKV_OPEN_FLAGS_DEFAULT, 30, 1, kKeyA, nullptr, 1), OKV_SUCCESS);
  ASSERT_EQ(OKVFinalizeCreate(path_.c_str()), OKV_SUCCESS);
  EXPECT_EQ(Joined(CheckOkvFile(path_)), "");
  uint16_t handle = 0;
  ASSERT_EQ(OKVOpenFile(path_.c_str(), 1, &handle), OKV_SUCCESS);
  std::vector<uint8_t> record(30, 'r');
  ASSERT_EQ(OKVCreateRec(handle, record.data()), OKV_SUCCESS);
  EXPECT_EQ(Joined(CheckOkvFile(path_)), "");
  ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
  EXPECT_EQ(Joined(CheckOkvFile(path_)), "");
  ASSERT_EQ(OKVCloseFile(handle), OKV_SUCCESS);
}

}  // namespace
}  // namespace okv::check
