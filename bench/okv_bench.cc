// The OKV engine side by side with SQLite on the same logical work: records of
// 72 bytes with a unique 12-character text key, added in a shuffled order,
// then read back by exact key in random order and walked in key order.
//
//   AddSafe     engine: safe writes on (one journaled call per record)
//               SQLite: synchronous=FULL, one transaction per row
//   AddBulk     engine: safe writes off
//               SQLite: synchronous=OFF, one transaction for all rows
//   ReadRandom  exact-key reads of every record in random order
//   Walk        every record in key order (LO/NX; SELECT ... ORDER BY)
//
// The argument is the file size in records. Every benchmark reports "time/op",
// the wall-clock time of one record operation. Durable adds cost a few disk flushes each,
// so AddSafe times at most kMaxTimedSafeAdds adds: the file is first filled
// to N - kMaxTimedSafeAdds records in bulk, and the last adds are timed at the
// full size. SQLite keeps the record in its key's B-tree (WITHOUT ROWID), as
// the engine keeps it in its key's node.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "okv/okv.h"

namespace {

constexpr uint16_t kRecordSize = 72;
constexpr uint16_t kKeyLength = 12;
constexpr int64_t kMaxTimedSafeAdds = 2000;

// A private folder on the temporary disk, removed when the program ends.
const std::string& BenchFolder() {
  // Never destroyed, so that the exit handler below can still read it.
  static const std::string& folder = *[] {
    std::string pattern = (std::filesystem::temp_directory_path() / "okvbench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    setenv("TRK_LOCK_DIR", pattern.c_str(), 1);
    setenv("TRK_FOLDER", pattern.c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(BenchFolder(), ignored);
    });
    return new std::string(pattern);
  }();
  return folder;
}

// Record i of the work: its key is a customer number, unique per i.
std::vector<uint8_t> MakeRecord(int64_t i) {
  std::vector<uint8_t> record(kRecordSize, 0);
  std::snprintf(reinterpret_cast<char*>(record.data()), kKeyLength, "C%010lld", static_cast<long long>(i));
  for (uint16_t b = kKeyLength; b < kRecordSize; ++b) record[b] = static_cast<uint8_t>('a' + (i + b) % 26);
  return record;
}

std::vector<int64_t> Shuffled(int64_t count, unsigned seed) {
  std::vector<int64_t> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(seed));
  return order;
}

// Wall-clock time of one record operation, printed with an SI prefix (u, m).
void ReportPerOp(benchmark::State& state, int64_t opsPerIteration) {
  state.counters["time/op"] = benchmark::Counter(
      static_cast<double>(opsPerIteration),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Fail(benchmark::State& state, const char* what, int code) {
  std::string message = std::string(what) + " failed: " + std::to_string(code);
  state.SkipWithError(message.c_str());
}

// ---- Engine ---------------------------------------------------------------

class EngineFile {
 public:
  EngineFile() : path_(BenchFolder() + "/Bench.zdb") {
    OKVDeleteFile(path_.c_str());
    uint16_t number = 0;
    rc_ = OKVCreateFile(path_.c_str(), OKV_OPEN_FLAGS_DEFAULT, kRecordSize, 0, nullptr, "bench", 1);
    if (rc_ == OKV_SUCCESS) rc_ = OKVCreateKey(path_.c_str(), OKV_KEY_STRING, 0, kKeyLength, &number);
    if (rc_ == OKV_SUCCESS) rc_ = OKVFinalizeCreate(path_.c_str());
    if (rc_ == OKV_SUCCESS) rc_ = OKVOpenFile(path_.c_str(), 1, &handle_);
  }
  ~EngineFile() {
    if (handle_ != 0) OKVCloseFile(handle_);
    OKVDeleteFile(path_.c_str());
  }
  EngineFile(const EngineFile&) = delete;
  EngineFile& operator=(const EngineFile&) = delete;

  uint8_t rc() const { return rc_; }
  uint16_t handle() const { return handle_; }

  uint8_t Add(const std::vector<int64_t>& order, std::size_t from, std::size_t to, bool safeWrites) {
    OKVSetSafeWrites(handle_, safeWrites ? 1 : 0);
    for (std::size_t i = from; i < to; ++i) {
      uint8_t rc = OKVCreateRec(handle_, MakeRecord(order[i]).data());
      if (rc != OKV_SUCCESS) return rc;
    }
    return OKV_SUCCESS;
  }

 private:
  std::string path_;
  uint16_t handle_ = 0;
  uint8_t rc_ = OKV_SUCCESS;
};

void EngineAdds(benchmark::State& state, bool safeWrites) {
  const int64_t n = state.range(0);
  const int64_t timed = safeWrites ? std::min(n, kMaxTimedSafeAdds) : n;
  const std::vector<int64_t> order = Shuffled(n, 1);
  for (auto _ : state) {
    state.PauseTiming();
    {
      EngineFile file;
      uint8_t rc = file.rc();
      if (rc == OKV_SUCCESS) rc = file.Add(order, 0, static_cast<std::size_t>(n - timed), false);
      state.ResumeTiming();
      if (rc == OKV_SUCCESS) rc = file.Add(order, static_cast<std::size_t>(n - timed), order.size(), safeWrites);
      state.PauseTiming();
      if (rc != OKV_SUCCESS) Fail(state, "OKVCreateRec", rc);
    }
    state.ResumeTiming();
  }
  ReportPerOp(state, timed);
}

void BM_Okv_AddSafe(benchmark::State& state) { EngineAdds(state, true); }
void BM_Okv_AddBulk(benchmark::State& state) { EngineAdds(state, false); }

void BM_Okv_ReadRandom(benchmark::State& state) {
  const int64_t n = state.range(0);
  EngineFile file;
  const std::vector<int64_t> order = Shuffled(n, 1);
  if (uint8_t rc = file.rc() ? file.rc() : file.Add(order, 0, order.size(), false)) return Fail(state, "setup", rc);
  const std::vector<int64_t> reads = Shuffled(n, 2);
  std::vector<uint8_t> record(kRecordSize);
  for (auto _ : state) {
    for (int64_t i : reads) {
      std::vector<uint8_t> probe = MakeRecord(i);
      if (uint8_t rc = OKVReadRecEQ(file.handle(), 0, probe.data(), record.data())) return Fail(state, "EQ", rc);
    }
  }
  ReportPerOp(state, n);
}

void BM_Okv_Walk(benchmark::State& state) {
  const int64_t n = state.range(0);
  EngineFile file;
  const std::vector<int64_t> order = Shuffled(n, 1);
  if (uint8_t rc = file.rc() ? file.rc() : file.Add(order, 0, order.size(), false)) return Fail(state, "setup", rc);
  std::vector<uint8_t> record(kRecordSize);
  for (auto _ : state) {
    int64_t seen = 0;
    for (uint8_t rc = OKVReadRecLO(file.handle(), 0, record.data()); rc == OKV_SUCCESS;
         rc = OKVReadRecNX(file.handle(), 0, record.data())) {
      ++seen;
    }
    if (seen != n) return Fail(state, "walk count", static_cast<int>(seen));
  }
  ReportPerOp(state, n);
}

// ---- SQLite ---------------------------------------------------------------

class SqliteFile {
 public:
  explicit SqliteFile(const char* synchronous) : path_(BenchFolder() + "/bench.sqlite") {
    std::filesystem::remove(path_);
    ok_ = sqlite3_open(path_.c_str(), &db_) == SQLITE_OK &&
          Exec(std::string("PRAGMA synchronous=") + synchronous) &&
          Exec("CREATE TABLE customer(number TEXT PRIMARY KEY, record BLOB NOT NULL) WITHOUT ROWID") &&
          sqlite3_prepare_v2(db_, "INSERT INTO customer VALUES (?, ?)", -1, &insert_, nullptr) == SQLITE_OK;
  }
  ~SqliteFile() {
    sqlite3_finalize(insert_);
    sqlite3_close(db_);
    std::filesystem::remove(path_);
  }
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  bool ok() const { return ok_; }
  sqlite3* db() const { return db_; }

  bool Exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

  // Inserts order[from, to): in one transaction, or each row in its own.
  bool Add(const std::vector<int64_t>& order, std::size_t from, std::size_t to, bool oneTransaction) {
    if (oneTransaction && !Exec("BEGIN")) return false;
    for (std::size_t i = from; i < to; ++i) {
      std::vector<uint8_t> record = MakeRecord(order[i]);
      sqlite3_bind_text(insert_, 1, reinterpret_cast<const char*>(record.data()), -1, SQLITE_TRANSIENT);
      sqlite3_bind_blob(insert_, 2, record.data(), kRecordSize, SQLITE_TRANSIENT);
      int rc = sqlite3_step(insert_);
      sqlite3_reset(insert_);
      if (rc != SQLITE_DONE) return false;
    }
    return !oneTransaction || Exec("COMMIT");
  }

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  bool ok_ = false;
};

void SqliteAdds(benchmark::State& state, bool durable) {
  const int64_t n = state.range(0);
  const int64_t timed = durable ? std::min(n, kMaxTimedSafeAdds) : n;
  const std::vector<int64_t> order = Shuffled(n, 1);
  for (auto _ : state) {
    state.PauseTiming();
    {
      SqliteFile file(durable ? "FULL" : "OFF");
      bool ok = file.ok() && file.Add(order, 0, static_cast<std::size_t>(n - timed), true);
      state.ResumeTiming();
      ok = ok && file.Add(order, static_cast<std::size_t>(n - timed), order.size(), !durable);
      state.PauseTiming();
      if (!ok) Fail(state, "INSERT", sqlite3_errcode(file.db()));
    }
    state.ResumeTiming();
  }
  ReportPerOp(state, timed);
}

void BM_Sqlite_AddSafe(benchmark::State& state) { SqliteAdds(state, true); }
void BM_Sqlite_AddBulk(benchmark::State& state) { SqliteAdds(state, false); }

void BM_Sqlite_ReadRandom(benchmark::State& state) {
  const int64_t n = state.range(0);
  SqliteFile file("OFF");
  if (!file.ok() || !file.Add(Shuffled(n, 1), 0, static_cast<std::size_t>(n), true)) return Fail(state, "setup", 0);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(file.db(), "SELECT record FROM customer WHERE number = ?", -1, &select, nullptr);
  const std::vector<int64_t> reads = Shuffled(n, 2);
  std::vector<uint8_t> record(kRecordSize);
  for (auto _ : state) {
    for (int64_t i : reads) {
      std::vector<uint8_t> probe = MakeRecord(i);
      sqlite3_bind_text(select, 1, reinterpret_cast<const char*>(probe.data()), -1, SQLITE_STATIC);
      if (sqlite3_step(select) != SQLITE_ROW) {
        sqlite3_finalize(select);
        return Fail(state, "SELECT", sqlite3_errcode(file.db()));
      }
      std::memcpy(record.data(), sqlite3_column_blob(select, 0), kRecordSize);
      sqlite3_reset(select);
    }
  }
  sqlite3_finalize(select);
  ReportPerOp(state, n);
}

void BM_Sqlite_Walk(benchmark::State& state) {
  const int64_t n = state.range(0);
  SqliteFile file("OFF");
  if (!file.ok() || !file.Add(Shuffled(n, 1), 0, static_cast<std::size_t>(n), true)) return Fail(state, "setup", 0);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(file.db(), "SELECT record FROM customer ORDER BY number", -1, &select, nullptr);
  std::vector<uint8_t> record(kRecordSize);
  for (auto _ : state) {
    int64_t seen = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      std::memcpy(record.data(), sqlite3_column_blob(select, 0), kRecordSize);
      ++seen;
    }
    sqlite3_reset(select);
    if (seen != n) {
      sqlite3_finalize(select);
      return Fail(state, "walk count", static_cast<int>(seen));
    }
  }
  sqlite3_finalize(select);
  ReportPerOp(state, n);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_Okv_AddSafe)->Apply(Sizes)->Iterations(1);
BENCHMARK(BM_Sqlite_AddSafe)->Apply(Sizes)->Iterations(1);
BENCHMARK(BM_Okv_AddBulk)->Apply(Sizes);
BENCHMARK(BM_Sqlite_AddBulk)->Apply(Sizes);
BENCHMARK(BM_Okv_ReadRandom)->Apply(Sizes);
BENCHMARK(BM_Sqlite_ReadRandom)->Apply(Sizes);
BENCHMARK(BM_Okv_Walk)->Apply(Sizes);
BENCHMARK(BM_Sqlite_Walk)->Apply(Sizes);

BENCHMARK_MAIN();
