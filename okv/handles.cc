// The handle table; see handles.h.
#include "okv/handles.h"

#include <algorithm>

namespace okv {

HandleEntry* HandleTable::Find(uint16_t handle) {
  if (handle == 0 || handle > entries_.size()) return nullptr;
  HandleEntry& entry = entries_[handle - 1];
  return entry.inUse ? &entry : nullptr;
}

bool HandleTable::Full() const { return entries_.size() >= kMaxEntries && freeEntries_ == 0; }

uint16_t HandleTable::Add(HandleEntry entry) {
  entry.inUse = true;
  if (freeEntries_ == 0) {
    entries_.push_back(std::move(entry));
    return static_cast<uint16_t>(entries_.size());
  }
  auto freeEntry = std::find_if(entries_.begin(), entries_.end(), [](const HandleEntry& e) { return !e.inUse; });
  --freeEntries_;
  *freeEntry = std::move(entry);
  return static_cast<uint16_t>(freeEntry - entries_.begin() + 1);
}

void HandleTable::Remove(uint16_t handle) {
  entries_[handle - 1] = HandleEntry{};
  ++freeEntries_;
  while (!entries_.empty() && !entries_.back().inUse) {
    entries_.pop_back();
    --freeEntries_;
  }
  if (entries_.empty()) entries_.shrink_to_fit();
}

HandleTable& ProcessHandles() {
  static HandleTable table;
  return table;
}

}  // namespace okv
