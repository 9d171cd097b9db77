// The data file as one engine call sees it.
//
// A reading call opens the file read-only. A changing call first finishes a
// journal an interrupted call may have left beside the file, then either
// opens the file read-write and writes straight into it (safe writes off), or
// begins a journal, opens the file read-only and turns every write into a
// journal record (safe writes on). Reads always see the file as it was when
// the call began; every access names its offset, so no position is kept.
// Finish closes the file and commits or aborts the journal.
//
// REQUIRES: the engine's global lock is held for the whole life of the object.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "okv/file_access.h"
#include "okv/journal.h"

namespace okv {

enum class CallMode { kRead, kDirectWrite, kJournaled };

class CallFile {
 public:
  CallFile() = default;
  CallFile(const CallFile&) = delete;
  CallFile& operator=(const CallFile&) = delete;

  uint8_t Open(const std::string& dataName, const std::string& journalName, CallMode mode);
  uint64_t size() const { return size_; }
  bool writable() const { return mode_ != CallMode::kRead; }

  uint8_t Read(uint64_t offset, void* buffer, size_t count) const { return data_.ReadAt(offset, buffer, count); }
  uint8_t ReadSome(uint64_t offset, void* buffer, size_t count, size_t* got) const {
    return data_.ReadSomeAt(offset, buffer, count, got);
  }
  uint8_t Write(uint32_t offset, std::span<const uint8_t> bytes);
  uint8_t SetLength(uint32_t length);

  // Ends the call with result rc: closes the data file (a close failure
  // replaces a success, or one of the listed results), then commits the
  // journal on success or aborts it. Returns the call's final result.
  uint8_t Finish(uint8_t rc, std::initializer_list<uint8_t> closeMayReplace = {});

 private:
  DiskFile data_;
  Journal journal_;
  CallMode mode_ = CallMode::kRead;
  uint64_t size_ = 0;
};

}  // namespace okv
