// The journal that makes every changing call all-or-nothing.
//
// A journal lives beside its data file (the data file's name with the
// extension ".okt") and holds: a status byte (0 while written, 1 once
// complete), the data file's name in 260 NUL-padded bytes, then records:
//   0  u32 length                     set the data file's length
//   1  u32 offset, u32 count, bytes   write the bytes at the offset
//   2  u32 open flags, u32 permission delete the data file, create it anew
// A journal is built in memory during a call and written with one write at
// commit; it is made durable (journal, status byte, folder entry) before the
// data file is touched, and deleted only after the data file has been synced.
//
// A journal belongs to the data file beside it: replay always writes to the
// data file the caller named, never to the name stored inside. A journal that
// is incomplete, truncated mid-record, or whose records would write outside
// the data file (beyond its end, or before a recreate on a missing file) is
// discarded unapplied. A replay that fails after it began writing keeps the
// journal for the next try; a failed apply at commit rolls the data file
// back to its state before the call and discards the journal.
//
// REQUIRES: the engine's global lock is held.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "okv/file_access.h"

namespace okv {

constexpr size_t kJournalNameFieldSize = 260;
constexpr size_t kJournalPrologueSize = 1 + kJournalNameFieldSize;
constexpr size_t kMaxJournaledNameLength = kJournalNameFieldSize - 1;
constexpr uint8_t kJournalWriting = 0;
constexpr uint8_t kJournalComplete = 1;
constexpr uint8_t kRecordSetLength = 0;
constexpr uint8_t kRecordWrite = 1;
constexpr uint8_t kRecordRecreate = 2;
constexpr uint32_t kRecreateOpenFlags = kOpenBinary | kOpenExclusive | kOpenCreate | kOpenReadWrite;  // 0x8502
constexpr uint32_t kRecreatePermission = 0x180;
constexpr std::string_view kJournalExtension = ".okt";

// The journal name of a data file; 1 when the name itself has the journal extension.
uint8_t DeriveJournalName(std::string_view dataName, std::string* journalName);

class Journal {
 public:
  Journal() = default;
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Finishes a journal left by an interrupted call, then creates this call's
  // journal: 1 (name too long to store), 8, 2, or a replay failure.
  uint8_t Begin(const std::string& dataName, const std::string& journalName);
  void AddWrite(uint32_t offset, std::span<const uint8_t> bytes);
  void AddSetLength(uint32_t length);
  void AddRecreate();
  // Makes the journal durable and complete, applies it and deletes it.
  uint8_t Commit();
  // Closes and deletes the journal; the data file has not been touched.
  void Abort();
  bool active() const { return active_; }

 private:
  std::string dataName_;
  std::string journalName_;
  std::vector<uint8_t> buffer_;
  DiskFile file_;
  bool active_ = false;
};

// Applies the journal beside a data file when it is complete and deletes it;
// deletes an incomplete one. 0 when there is none.
uint8_t RecoverJournal(const std::string& dataName, const std::string& journalName);

}  // namespace okv
