// Crash and multi-process tests of the engine's journaled writes.
//
// KilledWriters: a child process adds, updates and deletes records of one file
// with safe writes on and logs every changing call to a pipe, once before the
// call ("intent") and once after it returned ("done"). The parent kills it with
// SIGKILL after a random delay, reopens the file (which applies or discards the
// journal the child left) and requires the checker to accept the file and its
// content to equal exactly the calls that returned, plus at most the one call in
// flight, whole.
//
// ConcurrentWriters: several processes add distinct records to one file at the
// same time; afterwards every record is there and the file is sound.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "okv/check/okv_check.h"
#include "okv/okv.h"

namespace {

// 32-byte records: sequence number (key 0, unique), group (key 1, duplicates),
// version, and filler derived from the three so that torn bodies show.
constexpr uint16_t kRecordSize = 32;

struct Record {
  uint32_t seq = 0;
  uint32_t group = 0;
  uint32_t version = 0;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> bytes(kRecordSize);
    uint32_t words[8] = {seq, group, version};
    for (int i = 3; i < 8; ++i) words[i] = seq * 2654435761u ^ version * 40503u ^ static_cast<uint32_t>(i);
    std::memcpy(bytes.data(), words, sizeof words);
    return bytes;
  }
  static Record FromBytes(const uint8_t* bytes) {
    Record r;
    std::memcpy(&r.seq, bytes, 4);
    std::memcpy(&r.group, bytes + 4, 4);
    std::memcpy(&r.version, bytes + 8, 4);
    return r;
  }
  bool operator==(const Record&) const = default;
};

using Content = std::map<uint32_t, Record>;

enum class OpKind : uint8_t { kAdd, kUpdate, kDelete };
enum class Phase : uint8_t { kIntent, kDone };

// One pipe message; far below PIPE_BUF, so each write arrives whole or not at all.
struct LogEntry {
  OpKind kind;
  Phase phase;
  uint8_t rc;
  uint8_t unused;
  Record record;
};

void Apply(Content& content, const LogEntry& entry) {
  if (entry.kind == OpKind::kDelete) {
    content.erase(entry.record.seq);
  } else {
    content[entry.record.seq] = entry.record;
  }
}

std::string Describe(const Content& content) {
  std::string text;
  for (const auto& [seq, r] : content) {
    text += std::to_string(seq) + "/" + std::to_string(r.group) + "/" + std::to_string(r.version) + " ";
  }
  return text;
}

class OkvCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "okvcrash-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    setenv("TRK_LOCK_DIR", folder_.c_str(), 1);
    setenv("TRK_FOLDER", folder_.c_str(), 1);
    path_ = folder_ + "/Crash.zdb";
    journal_ = folder_ + "/Crash.okt";
    uint16_t number = 0;
    ASSERT_EQ(OKVCreateFile(path_.c_str(), OKV_OPEN_FLAGS_DEFAULT, kRecordSize, 0, nullptr, "crash", 1), OKV_SUCCESS);
    ASSERT_EQ(OKVCreateKey(path_.c_str(), OKV_KEY_UNSIGNED, 0, 4, &number), OKV_SUCCESS);
    ASSERT_EQ(OKVCreateKey(path_.c_str(), OKV_KEY_UNSIGNED | OKV_KEY_DUPLICATES, 4, 4, &number), OKV_SUCCESS);
    ASSERT_EQ(OKVFinalizeCreate(path_.c_str()), OKV_SUCCESS);
  }

  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Opens the file (applying or discarding a journal left behind) and reads
  // every record in key-0 order.
  std::optional<Content> ReadContent() {
    uint16_t handle = 0;
    uint8_t rc = OKVOpenFile(path_.c_str(), 1, &handle);
    EXPECT_EQ(rc, OKV_SUCCESS);
    if (rc != OKV_SUCCESS) return std::nullopt;
    Content content;
    std::vector<uint8_t> bytes(kRecordSize);
    for (rc = OKVReadRecLO(handle, 0, bytes.data()); rc == OKV_SUCCESS; rc = OKVReadRecNX(handle, 0, bytes.data())) {
      Record r = Record::FromBytes(bytes.data());
      EXPECT_EQ(bytes, r.Bytes()) << "torn record " << r.seq;
      content[r.seq] = r;
      if (content.size() > 100000) break;
    }
    EXPECT_EQ(rc, OKV_RECORD_NOT_FOUND);
    EXPECT_EQ(OKVCloseFile(handle), OKV_SUCCESS);
    return content;
  }

  std::string folder_;
  std::string path_;
  std::string journal_;
};

// ---- Killed writers -------------------------------------------------------

void WriteEntry(int fd, const LogEntry& entry) {
  if (write(fd, &entry, sizeof entry) != static_cast<ssize_t>(sizeof entry)) _exit(3);
}

// The child: changes the file at random until killed (or after a bounded
// number of calls). Runs outside the test framework and ends with _exit.
[[noreturn]] void RunWriter(const std::string& path, Content content, uint32_t nextSeq, unsigned seed, int logFd) {
  std::mt19937 random(seed);
  uint16_t handle = 0;
  if (OKVOpenFile(path.c_str(), 1, &handle) != OKV_SUCCESS) _exit(2);
  std::vector<uint8_t> found(kRecordSize);
  for (int call = 0; call < 100000; ++call) {
    LogEntry entry{};
    unsigned dice = random() % 10;
    if (content.empty() || dice < 4) {
      entry.kind = OpKind::kAdd;
      entry.record = {nextSeq++, static_cast<uint32_t>(random() % 5), 0};
    } else {
      auto it = std::next(content.begin(), static_cast<std::ptrdiff_t>(random() % content.size()));
      if (OKVReadRecEQ(handle, 0, &it->first, found.data()) != OKV_SUCCESS) _exit(4);
      entry.kind = dice < 7 ? OpKind::kUpdate : OpKind::kDelete;
      entry.record = it->second;
      if (entry.kind == OpKind::kUpdate) {
        entry.record.group = static_cast<uint32_t>(random() % 5);
        ++entry.record.version;
      }
    }
    entry.phase = Phase::kIntent;
    WriteEntry(logFd, entry);
    std::vector<uint8_t> bytes = entry.record.Bytes();
    switch (entry.kind) {
      case OpKind::kAdd: entry.rc = OKVCreateRec(handle, bytes.data()); break;
      case OpKind::kUpdate: entry.rc = OKVUpdateRec(handle, bytes.data()); break;
      case OpKind::kDelete: entry.rc = OKVDeleteRec(handle); break;
    }
    entry.phase = Phase::kDone;
    WriteEntry(logFd, entry);
    if (entry.rc != OKV_SUCCESS) _exit(5);
    Apply(content, entry);
  }
  _exit(0);
}

// What the parent learns from one child's log.
struct ChildLog {
  std::vector<LogEntry> done;
  std::optional<LogEntry> inFlight;
};

ChildLog ReadLog(int fd) {
  ChildLog log;
  LogEntry entry{};
  std::size_t have = 0;
  for (;;) {
    ssize_t got = read(fd, reinterpret_cast<uint8_t*>(&entry) + have, sizeof entry - have);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    have += static_cast<std::size_t>(got);
    if (have < sizeof entry) continue;
    have = 0;
    if (entry.phase == Phase::kIntent) {
      log.inFlight = entry;
    } else {
      log.done.push_back(entry);
      log.inFlight.reset();
    }
  }
  return log;
}

TEST_F(OkvCrashTest, KilledWritersLeaveExactlyTheCallsThatReturned) {
  constexpr int kKills = 60;
  constexpr auto kTimeBudget = std::chrono::seconds(20);
  const auto start = std::chrono::steady_clock::now();
  std::mt19937 random(20240611);
  Content expected;
  uint32_t nextSeq = 1;
  int inFlightApplied = 0;
  int inFlightDropped = 0;
  int completeJournals = 0;
  int incompleteJournals = 0;
  int kills = 0;

  for (; kills < kKills && std::chrono::steady_clock::now() - start < kTimeBudget; ++kills) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      RunWriter(path_, expected, nextSeq, random(), fds[1]);
    }
    close(fds[1]);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself with status " << WEXITSTATUS(status);
    ChildLog log = ReadLog(fds[0]);
    close(fds[0]);

    for (const LogEntry& entry : log.done) Apply(expected, entry);
    if (log.inFlight && log.inFlight->kind == OpKind::kAdd) nextSeq = log.inFlight->record.seq + 1;
    for (const LogEntry& entry : log.done) nextSeq = std::max(nextSeq, entry.record.seq + 1);

    if (std::filesystem::exists(journal_)) {
      std::ifstream in(journal_, std::ios::binary);
      (in.get() == 1 ? completeJournals : incompleteJournals) += 1;
    }
    std::optional<Content> actual = ReadContent();
    ASSERT_TRUE(actual);
    EXPECT_FALSE(std::filesystem::exists(journal_)) << "opening the file leaves no journal behind";
    std::vector<std::string> problems = okv::check::CheckOkvFile(path_);
    ASSERT_TRUE(problems.empty()) << "after kill " << kills << ": " << problems.front();

    if (*actual == expected) {
      inFlightDropped += log.inFlight ? 1 : 0;
      continue;
    }
    ASSERT_TRUE(log.inFlight) << "after kill " << kills << " the file differs from the calls that returned:\n"
                              << "file:     " << Describe(*actual) << "\nexpected: " << Describe(expected);
    Content withInFlight = expected;
    Apply(withInFlight, *log.inFlight);
    ASSERT_EQ(Describe(*actual), Describe(withInFlight)) << "after kill " << kills << ": the call in flight is torn";
    expected = withInFlight;
    ++inFlightApplied;
  }
  std::printf("%d kills: call in flight applied %d, dropped %d; journals found complete %d, incomplete %d\n", kills,
              inFlightApplied, inFlightDropped, completeJournals, incompleteJournals);
  EXPECT_GE(kills, 20) << "too few kills within the time budget to mean much";
  EXPECT_FALSE(expected.empty());
}

// ---- Concurrent writers ---------------------------------------------------

class OkvConcurrentTest : public OkvCrashTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OkvConcurrentTest, EveryRecordOfEveryWriterLands) {
  constexpr int kWriters = 4;
  constexpr uint32_t kPerWriter = 60;
  const bool safeWrites = GetParam();
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      uint16_t handle = 0;
      if (OKVOpenFile(path_.c_str(), 1, &handle) != OKV_SUCCESS) _exit(2);
      if (OKVSetSafeWrites(handle, safeWrites ? 1 : 0) != OKV_SUCCESS) _exit(3);
      for (uint32_t i = 0; i < kPerWriter; ++i) {
        Record r{static_cast<uint32_t>(w) * 100000 + i, i % 7, static_cast<uint32_t>(w)};
        if (OKVCreateRec(handle, r.Bytes().data()) != OKV_SUCCESS) _exit(4);
      }
      _exit(OKVCloseFile(handle) == OKV_SUCCESS ? 0 : 5);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
  }

  std::optional<Content> actual = ReadContent();
  ASSERT_TRUE(actual);
  Content expected;
  for (int w = 0; w < kWriters; ++w) {
    for (uint32_t i = 0; i < kPerWriter; ++i) {
      Record r{static_cast<uint32_t>(w) * 100000 + i, i % 7, static_cast<uint32_t>(w)};
      expected[r.seq] = r;
    }
  }
  EXPECT_EQ(Describe(*actual), Describe(expected));
  std::vector<std::string> problems = okv::check::CheckOkvFile(path_);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

INSTANTIATE_TEST_SUITE_P(SafeWrites, OkvConcurrentTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? std::string("On") : std::string("Off"); });

}  // namespace
