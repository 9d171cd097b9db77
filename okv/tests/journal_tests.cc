// Safe writes: journals applied or discarded on open, calls without journal,
// and faults injected at every write of a journaled change.
#include <sys/inotify.h>

#include <functional>

#include "okv/file_access.h"
#include "okv/format.h"
#include "okv/journal.h"
#include "okv/tests/okv_test_support.h"

namespace okv::testing {
namespace {

class JournalTest : public OkvTest {
 protected:
  void SetUp() override {
    OkvTest::SetUp();
    data_ = Path("j.okv");
    journal_ = Path("j.okt");
  }
  void TearDown() override {
    faults::FailMutationAt(0);
    faults::StopBeforeApply(false);
    OkvTest::TearDown();
  }

  // A journal written by hand: status, the 260-byte name field, then records.
  static Bytes JournalOf(uint8_t status, const std::string& storedName, const Bytes& records) {
    Bytes journal(kJournalPrologueSize, 0);
    journal[0] = status;
    std::memcpy(&journal[1], storedName.data(), std::min<size_t>(storedName.size(), 259));
    journal.insert(journal.end(), records.begin(), records.end());
    return journal;
  }
  static Bytes WriteRecord(uint32_t offset, const Bytes& bytes) {
    Bytes record(9, 0);
    record[0] = kRecordWrite;
    PutLe32(record, 1, offset);
    PutLe32(record, 5, static_cast<uint32_t>(bytes.size()));
    record.insert(record.end(), bytes.begin(), bytes.end());
    return record;
  }
  static Bytes LengthRecord(uint32_t length) {
    Bytes record(5, 0);
    record[0] = kRecordSetLength;
    PutLe32(record, 1, length);
    return record;
  }

  std::string data_;
  std::string journal_;
};

TEST_F(JournalTest, ACompleteJournalIsAppliedToItsOwnDataFileOnOpen) {
  ASSERT_EQ(Define(data_, kPersonSize, {kNameKey}), OKV_SUCCESS);
  const size_t size = ReadFile(data_).size();
  Bytes records = WriteRecord(hdr::kFileId, {0x34, 0x12});
  const Bytes tail = LengthRecord(static_cast<uint32_t>(size));
  records.insert(records.end(), tail.begin(), tail.end());
  // The stored name points elsewhere: the journal still belongs to the file beside it.
  WriteFile(Path("other.okv"), Bytes{9});
  WriteFile(journal_, JournalOf(kJournalComplete, Path("other.okv"), records));
  const uint16_t handle = Open(data_);
  OKVFileInfoBuf info{};
  ASSERT_EQ(OKVFileInfo(handle, &info), OKV_SUCCESS);
  EXPECT_EQ(info.fileId, 0x1234);
  EXPECT_FALSE(Exists(journal_));
  EXPECT_EQ(ReadFile(Path("other.okv")), Bytes{9});
}

TEST_F(JournalTest, IncompleteTruncatedOrOutOfBoundsJournalsAreDiscarded) {
  ASSERT_EQ(Define(data_, kPersonSize, {kNameKey}), OKV_SUCCESS);
  const Bytes original = ReadFile(data_);
  const uint32_t size = static_cast<uint32_t>(original.size());
  Bytes truncated = WriteRecord(hdr::kFileId, {0x34, 0x12});
  truncated.pop_back();
  const struct {
    const char* what;
    Bytes journal;
  } cases[] = {
      {"empty", {}},
      {"status 0", JournalOf(kJournalWriting, data_, WriteRecord(hdr::kFileId, {1, 2}))},
      {"prologue cut", Bytes(100, 1)},
      {"record cut", JournalOf(kJournalComplete, data_, truncated)},
      {"write beyond the end", JournalOf(kJournalComplete, data_, WriteRecord(size + 1, {1}))},
      {"write past 4 GiB", JournalOf(kJournalComplete, data_, WriteRecord(0xFFFFFFF0u, Bytes(32, 1)))},
      {"length beyond the end", JournalOf(kJournalComplete, data_, LengthRecord(size + 4096))},
  };
  for (const auto& c : cases) {
    WriteFile(journal_, c.journal);
    uint16_t handle = 0;
    EXPECT_EQ(OKVOpenFile(data_.c_str(), 1, &handle), OKV_SUCCESS) << c.what;
    OKVCloseFile(handle);
    EXPECT_FALSE(Exists(journal_)) << c.what;
    EXPECT_EQ(ReadFile(data_), original) << c.what;
  }
  // An unknown record kind is a damaged journal: reported, discarded, nothing applied.
  WriteFile(journal_, JournalOf(kJournalComplete, data_, Bytes{7, 0, 0, 0, 0}));
  uint16_t handle = 0;
  EXPECT_EQ(OKVOpenFile(data_.c_str(), 1, &handle), OKV_FILE_CORRUPTED);
  EXPECT_FALSE(Exists(journal_));
  EXPECT_EQ(ReadFile(data_), original);
}

TEST_F(JournalTest, ALeftoverCompleteJournalIsFinishedBeforeTheNextChange) {
  const uint16_t handle = NewPeople("j.okv");
  ASSERT_EQ(OKVCreateRec(handle, Person("A", 1).data()), OKV_SUCCESS);
  faults::StopBeforeApply(true);
  ASSERT_EQ(OKVCreateRec(handle, Person("B", 2).data()), OKV_SUCCESS);
  faults::StopBeforeApply(false);
  ASSERT_TRUE(Exists(journal_));
  EXPECT_EQ(Walk(handle, 0), (std::vector<std::string>{"A"}));
  ASSERT_EQ(OKVSetSafeWrites(handle, 0), OKV_SUCCESS);
  ASSERT_EQ(OKVCreateRec(handle, Person("C", 3).data()), OKV_SUCCESS);
  EXPECT_FALSE(Exists(journal_));
  EXPECT_EQ(Walk(handle, 0), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(JournalTest, ACommittedButUnappliedChangeAppearsAtTheNextOpen) {
  const uint16_t handle = NewPeople("j.okv");
  ASSERT_EQ(OKVCreateRec(handle, Person("A", 1).data()), OKV_SUCCESS);
  const Bytes before = ReadFile(data_);
  faults::StopBeforeApply(true);
  ASSERT_EQ(OKVCreateRec(handle, Person("B", 2).data()), OKV_SUCCESS);
  faults::StopBeforeApply(false);
  EXPECT_EQ(ReadFile(data_), before);
  ASSERT_TRUE(Exists(journal_));
  EXPECT_EQ(ReadFile(journal_).front(), kJournalComplete);
  const uint16_t reopened = Open(data_);
  EXPECT_FALSE(Exists(journal_));
  EXPECT_EQ(Walk(reopened, 0), (std::vector<std::string>{"A", "B"}));
}

TEST_F(JournalTest, SafeWritesOffCreateNoJournal) {
  const uint16_t handle = NewPeople("j.okv");
  ASSERT_EQ(OKVSetSafeWrites(handle, 0), OKV_SUCCESS);
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, dir_.c_str(), IN_CREATE), 0);
  for (const char* name : {"A", "B", "C"}) ASSERT_EQ(OKVCreateRec(handle, Person(name, 1).data()), OKV_SUCCESS);
  ASSERT_EQ(OKVUpdateRec(handle, Person("C", 2).data()), OKV_SUCCESS);
  ASSERT_EQ(OKVDeleteRec(handle), OKV_SUCCESS);
  ASSERT_EQ(OKVSetFileID(handle, 3), OKV_SUCCESS);
  alignas(inotify_event) char events[4096];
  EXPECT_LT(read(watch, events, sizeof events), 0) << "a file was created";
  close(watch);
  ASSERT_EQ(OKVSetSafeWrites(handle, 1), OKV_SUCCESS);
  EXPECT_EQ(Walk(handle, 0), (std::vector<std::string>{"A", "B"}));
}

// Each journaled change, failed at its k-th write, set-length or flush for
// every k until it succeeds, must leave the file byte for byte as it was.
TEST_F(JournalTest, AFaultAtAnyWriteOfAJournaledChangeLeavesTheFileAsItWas) {
  const uint16_t handle = NewPeople("j.okv");
  for (const char* name : {"D", "B", "F"}) ASSERT_EQ(OKVCreateRec(handle, Person(name, 4).data()), OKV_SUCCESS);
  Bytes record(kPersonSize);
  const struct {
    const char* what;
    std::function<uint8_t()> change;
  } changes[] = {
      {"add", [&] { return OKVCreateRec(handle, Person("C", 4).data()); }},
      {"add balanced", [&] { return OKVCreateBTreeRec(handle, Person("A", 1).data()); }},
      {"update",
       [&] {
         OKVReadRecEQ(handle, 0, "B", record.data());
         return OKVUpdateRec(handle, Person("G", 9).data());
       }},
      {"delete",
       [&] {
         OKVReadRecEQ(handle, 0, "D", record.data());
         return OKVDeleteRec(handle);
       }},
      {"set file name", [&] { return OKVSetFileName(handle, "renamed"); }},
  };
  for (const auto& c : changes) {
    const Bytes before = ReadFile(data_);
    int k = 1;
    for (;; ++k) {
      faults::FailMutationAt(k);
      const uint8_t rc = c.change();
      faults::FailMutationAt(0);
      if (rc == OKV_SUCCESS) break;
      ASSERT_EQ(rc, OKV_WRITE_ERROR) << c.what << " at " << k;
      ASSERT_EQ(ReadFile(data_), before) << c.what << " at " << k;
      ASSERT_FALSE(Exists(journal_)) << c.what << " at " << k;
      ASSERT_LT(k, 100);
    }
    EXPECT_GE(k, 6) << c.what;  // journal write and flush, status and flush, folder, data writes and flush
    EXPECT_NE(ReadFile(data_), before) << c.what;
  }
  EXPECT_EQ(Walk(handle, 0), (std::vector<std::string>{"A", "C", "F", "G"}));
}

TEST_F(JournalTest, AFaultWithSafeWritesOffIsReported) {
  const uint16_t handle = NewPeople("j.okv");
  ASSERT_EQ(OKVSetSafeWrites(handle, 0), OKV_SUCCESS);
  faults::FailMutationAt(1);
  EXPECT_EQ(OKVCreateRec(handle, Person("A", 1).data()), OKV_WRITE_ERROR);
  faults::FailMutationAt(0);
  uint32_t address = 0;
  EXPECT_EQ(OKVGetRecIX(handle, &address), OKV_NO_CURRENT_RECORD);
}

TEST_F(JournalTest, FileCreationIsJournaledToo) {
  for (int k = 1;; ++k) {
    faults::FailMutationAt(k);
    const uint8_t rc = OKVCreateFile(data_.c_str(), 0x8002, 10, 0, nullptr, nullptr, 1);
    faults::FailMutationAt(0);
    if (rc == OKV_SUCCESS) break;
    ASSERT_EQ(rc, OKV_WRITE_ERROR) << k;
    ASSERT_FALSE(Exists(data_)) << k;
    ASSERT_FALSE(Exists(journal_)) << k;
    ASSERT_LT(k, 20);
  }
  EXPECT_EQ(ReadFile(data_).size(), 128u);
}

}  // namespace
}  // namespace okv::testing
