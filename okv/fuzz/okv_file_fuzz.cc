// Fuzz entry point for OKV files and their journals.
//
// The input is a data file, optionally followed by kJournalMarker and a journal
// to lay beside it. Both are written into a private folder; the engine opens the
// file (replaying the journal), runs every kind of read on every key with
// bounded walks, adds, updates and deletes a record, and closes it; the checker
// reads the file before and after. Nothing may crash, hang or read out of bounds.
//
// One more rule holds: when the checker accepts the opened file, it must still
// accept it after the changes, unless a change failed with safe writes off. A
// breach aborts, so the fuzzer keeps the input.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "okv/check/okv_check.h"
#include "okv/okv.h"

namespace {

constexpr std::string_view kJournalMarker = "\n--okt--\n";
constexpr std::size_t kJournalNameField = 260;
constexpr int kWalkSteps = 40;
constexpr uint16_t kKeysExercised = 6;

struct Paths {
  std::string folder;
  std::string data;
  std::string journal;
};

// The private folder, made once per process and removed at its exit; the
// engine's lock file lives there too.
const Paths& PrivatePaths() {
  // Never destroyed, so that the exit handler below can still read it.
  static const Paths& paths = *[] {
    std::string pattern = (std::filesystem::temp_directory_path() / "okvfuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    setenv("TRK_LOCK_DIR", pattern.c_str(), 1);
    setenv("TRK_FOLDER", pattern.c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(PrivatePaths().folder, ignored);
    });
    return new Paths{pattern, pattern + "/Fuzz.zdb", pattern + "/Fuzz.okt"};
  }();
  return paths;
}

void WriteFile(const std::string& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Lays out the data file and, after the marker, its journal. The journal's
// name field is made to name this data file, as a journal beside it would.
void LayOutInput(std::span<const uint8_t> input, const Paths& paths) {
  std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  std::size_t marker = text.find(kJournalMarker);
  std::filesystem::remove(paths.journal);
  if (marker == std::string_view::npos) {
    WriteFile(paths.data, input);
    return;
  }
  WriteFile(paths.data, input.first(marker));
  std::vector<uint8_t> journal(input.begin() + static_cast<std::ptrdiff_t>(marker + kJournalMarker.size()),
                               input.end());
  if (journal.size() >= 1 + kJournalNameField) {
    std::fill_n(journal.begin() + 1, kJournalNameField, uint8_t{0});
    std::copy(paths.data.begin(), paths.data.end(), journal.begin() + 1);
  }
  WriteFile(paths.journal, journal);
}

// A record for adding, made from the input bytes.
std::vector<uint8_t> RecordFrom(std::span<const uint8_t> input, std::size_t size, uint8_t salt) {
  std::vector<uint8_t> record(size, salt);
  for (std::size_t i = 0; i < size && !input.empty(); ++i) {
    record[i] = static_cast<uint8_t>(input[(i * 7 + salt) % input.size()] + salt);
  }
  return record;
}

// Every read of one key: the ends, bounded walks both ways, and searches for
// the value of a record that exists.
void ExerciseKey(uint16_t handle, uint16_t key, const OKVKeyInfoBuf& info, std::vector<uint8_t>& record) {
  std::vector<uint8_t> probe(std::max<std::size_t>(record.size(), 65536u), 0);
  bool haveProbe = false;
  if (OKVReadRecLO(handle, key, record.data()) == OKV_SUCCESS) {
    if (std::size_t{info.keyOffset} + info.keyLength <= record.size()) {
      std::copy_n(record.begin() + info.keyOffset, info.keyLength, probe.begin());
      haveProbe = true;
    }
    for (int i = 0; i < kWalkSteps && OKVReadRecNX(handle, key, record.data()) == OKV_SUCCESS; ++i) {
    }
  }
  if (OKVReadRecHI(handle, key, record.data()) == OKV_SUCCESS) {
    for (int i = 0; i < kWalkSteps && OKVReadRecPR(handle, key, record.data()) == OKV_SUCCESS; ++i) {
    }
  }
  if (!haveProbe) return;
  for (auto read : {OKVReadRecEQ, OKVReadRecGE, OKVReadRecGT, OKVReadRecLE, OKVReadRecLT}) {
    read(handle, key, probe.data(), record.data());
  }
  uint32_t address = 0;
  if (OKVGetRecIX(handle, &address) == OKV_SUCCESS) OKVReadRecIX(handle, address, record.data());
}

struct ChangeOutcome {
  bool anyFailed = false;
};

// Adds, updates and deletes one record each. With a keyed file the update and
// delete act on the first record of key 0.
ChangeOutcome ExerciseChanges(uint16_t handle, const OKVFileInfoBuf& info, std::span<const uint8_t> input) {
  ChangeOutcome outcome;
  std::vector<uint8_t> record(info.recordSize);
  auto note = [&](uint8_t rc) { outcome.anyFailed |= rc != OKV_SUCCESS; };
  note(OKVCreateRec(handle, RecordFrom(input, info.recordSize, 1).data()));
  if (info.keyCount == 0) {
    OKVReadRec(handle, record.data());
    note(OKVUpdateRec(handle, RecordFrom(input, info.recordSize, 2).data()));
    note(OKVDeleteRec(handle));
    return outcome;
  }
  note(OKVCreateBTreeRec(handle, RecordFrom(input, info.recordSize, 3).data()));
  if (OKVReadRecLO(handle, 0, record.data()) == OKV_SUCCESS) {
    note(OKVUpdateRec(handle, RecordFrom(input, info.recordSize, 4).data()));
    note(OKVDeleteRec(handle));
    OKVReadRecNX(handle, 0, record.data());
  }
  return outcome;
}

void Breach(const char* what, const std::vector<std::string>& problems) {
  std::fprintf(stderr, "okv_file_fuzz: %s\n", what);
  for (const auto& line : problems) std::fprintf(stderr, "  %s\n", line.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Paths& paths = PrivatePaths();
  std::span<const uint8_t> input(data, size);
  LayOutInput(input, paths);

  uint16_t handle = 0;
  if (OKVOpenFile(paths.data.c_str(), 1, &handle) == OKV_SUCCESS) {
    const bool soundBefore = okv::check::CheckOkvFile(paths.data).empty();
    OKVFileInfoBuf info{};
    if (OKVFileInfo(handle, &info) == OKV_SUCCESS) {
      const bool safeWrites = size == 0 || (data[size - 1] & 1) == 0;
      OKVSetSafeWrites(handle, safeWrites ? 1 : 0);
      std::vector<uint8_t> record(info.recordSize);
      OKVReadRec(handle, record.data());
      uint16_t keys = std::min(info.keyCount, kKeysExercised);
      for (uint16_t k = 0; k < keys; ++k) {
        OKVKeyInfoBuf key{};
        if (OKVKeyInfo(handle, k, &key) == OKV_SUCCESS) ExerciseKey(handle, k, key, record);
      }
      OKVReadRecIX(handle, size >= 4 ? (data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24) : 1,
                   record.data());
      ChangeOutcome changes = ExerciseChanges(handle, info, input);
      // Without safe writes a failing change may leave its work half done.
      if (soundBefore && (safeWrites || !changes.anyFailed)) {
        std::vector<std::string> after = okv::check::CheckOkvFile(paths.data);
        if (!after.empty()) Breach("engine changes left a sound file damaged", after);
      }
    }
    OKVCloseFile(handle);
  }
  okv::check::CheckOkvFile(paths.data);
  std::filesystem::remove(paths.data);
  std::filesystem::remove(paths.journal);
  return 0;
}
