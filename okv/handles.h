// The process's table of open handles.
//
// A handle is one more than the index of its entry; 0 is never valid. An
// entry remembers only what a call needs to find the file again and the
// caller's place in it; no file stays open between calls. Opening takes the
// lowest free entry; closing the last entry drops it together with the free
// entries directly below it.
//
// REQUIRES: the engine's global lock is held for every use.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "okv/format.h"

namespace okv {

struct Neighbours {
  uint32_t next = 0;
  uint32_t previous = 0;
};

struct HandleEntry {
  std::vector<Neighbours> saved;  // per key, of the record this handle deleted last
  std::string name;
  std::string journalName;
  uint32_t current = 0;  // node offset of the current record, 0 for none
  uint16_t keyCount = 0;
  uint16_t storedSize = 0;
  uint16_t recordSize = 0;
  uint16_t openFlags = 0;
  bool currentDeleted = false;
  uint8_t encrypted = 0;
  uint8_t openMode = 0;
  bool inUse = false;
  std::array<uint8_t, kRecordKeySize> recordKey{};
  uint8_t safeWrites = 1;

  void SetCurrent(uint32_t address) {
    current = address;
    currentDeleted = false;
  }
};

class HandleTable {
 public:
  static constexpr size_t kMaxEntries = 65535;

  // The entry of a valid handle, else null.
  HandleEntry* Find(uint16_t handle);
  // Whether no entry is free and the table cannot grow.
  bool Full() const;
  // Puts the entry in the lowest free place. REQUIRES: !Full().
  uint16_t Add(HandleEntry entry);
  // REQUIRES: Find(handle) != nullptr.
  void Remove(uint16_t handle);
  size_t size() const { return entries_.size(); }

 private:
  std::vector<HandleEntry> entries_;
  size_t freeEntries_ = 0;  // entries not in use below the last one
};

HandleTable& ProcessHandles();

}  // namespace okv
