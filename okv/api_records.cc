// Exported calls that change records: add, update and delete, in keyed and
// keyless files.
#include <algorithm>
#include <cstring>
#include <vector>

#include "okv/api_common.h"
#include "okv/random.h"
#include "okv/skiplist.h"
#include "okv/store.h"

namespace okv {

namespace {

enum class LevelPolicy { kDrawn, kBalanced };

// Per-call scratch for insertion points: kMaxLevels owners per key.
std::vector<uint32_t>& OwnerScratch(unsigned keyCount) {
  static std::vector<uint32_t> owners;
  owners.assign(size_t{keyCount} * kMaxLevels, 0);
  return owners;
}

std::span<const uint8_t> RecordSpan(const void* record, const Store& store) {
  return {static_cast<const uint8_t*>(record), store.recordSize()};
}

// Runs a changing call on a handle's file: opens it (through a journal when
// safe writes are on), loads the header, runs `work`, writes the changes and
// commits. The caller changes the handle's state only when all of it succeeded.
template <typename Work>
uint8_t ChangeCall(HandleEntry& entry, Work work, std::initializer_list<uint8_t> closeMayReplace = {}) {
  CallFile file;
  uint8_t rc = file.Open(entry.name, entry.journalName, ModeFor(entry, true));
  Store store(file, entry.recordKey.data());
  if (rc == OKV_SUCCESS) rc = store.LoadHeader();
  if (rc == OKV_SUCCESS) rc = work(store, file);
  if (rc == OKV_SUCCESS) rc = store.Flush();
  return file.Finish(rc, closeMayReplace);
}

// Keyless files hold their one record right behind the header: the file is
// 128 bytes without it and 128 + S with it.
uint8_t CheckKeylessSize(Store& store) {
  const uint64_t size = store.fileSize();
  return size == kHeaderSize || size == kHeaderSize + store.storedSize() ? OKV_SUCCESS : OKV_FILE_CORRUPTED;
}

uint8_t WriteKeylessRecord(Store& store, const void* record) {
  if (const uint8_t rc = CheckKeylessSize(store)) return rc;
  if (const uint8_t rc = store.WriteSoleRecord(static_cast<const uint8_t*>(record))) return rc;
  store.header().SetNodeCount(1);
  store.header().SetRecordCount(1);
  store.MarkHeaderDirty();
  return OKV_SUCCESS;
}

// Takes the head of the free list, or appends a node whose level follows the policy.
uint8_t PlaceNewNode(Store& store, LevelPolicy policy, Node** node) {
  Header& header = store.header();
  if (header.freeHead() != 0) {
    if (const uint8_t rc = store.FetchNode(header.freeHead(), node)) return rc;
    const uint32_t nextFree = (*node)->links[0];
    const bool nextValid = nextFree == 0 || (nextFree >= store.keyBlocksEnd() && nextFree < store.fileSize());
    if (!(*node)->free || !nextValid) return OKV_FILE_CORRUPTED;
    header.SetFreeHead(nextFree);
    store.ReviveNode(**node);
    return OKV_SUCCESS;
  }
  const uint8_t wanted =
      policy == LevelPolicy::kDrawn ? DrawLevel(ProcessLevelGenerator()) : BalancedLevel(header.recordCount());
  header.SetNodeCount(header.nodeCount() + 1);
  return store.AppendNode(std::min(wanted, store.maxLevel()), node);
}

uint8_t AddKeyed(Store& store, const void* record, LevelPolicy policy, uint32_t* address) {
  if (const uint8_t rc = store.LoadKeys()) return rc;
  Header& header = store.header();
  Node* node = nullptr;
  if (const uint8_t rc = PlaceNewNode(store, policy, &node)) return rc;
  const unsigned top = std::max(header.currentLevel(), node->level);
  const std::span<const uint8_t> fields = RecordSpan(record, store);
  std::vector<uint32_t>& owners = OwnerScratch(store.keyCount());
  for (unsigned k = 0; k < store.keyCount(); ++k) {
    const std::span<const uint8_t> value = KeyField(store.key(k), fields);
    if (const uint8_t rc = FindInsertionPoints(store, k, value, top, node->level, &owners[k * kMaxLevels])) {
      return rc;
    }
  }
  store.SetRecord(*node, fields.data());
  for (unsigned k = 0; k < store.keyCount(); ++k) {
    if (const uint8_t rc = LinkNode(store, k, *node, &owners[k * kMaxLevels])) return rc;
  }
  header.SetRecordCount(header.recordCount() + 1);
  header.SetCurrentLevel(static_cast<uint8_t>(top));
  store.MarkHeaderDirty();
  *address = node->offset;
  return OKV_SUCCESS;
}

uint8_t AddRecord(uint16_t handle, const void* record, LevelPolicy policy) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || record == nullptr) return OKV_PARAMETER;
  uint32_t address = 0;
  const uint8_t rc = ChangeCall(*entry, [&](Store& store, CallFile&) -> uint8_t {
    if (store.keyCount() != 0) return AddKeyed(store, record, policy, &address);
    return store.header().recordCount() > 0 ? OKV_WRONG_FILE_TYPE : WriteKeylessRecord(store, record);
  });
  if (rc == OKV_SUCCESS && address != 0) entry->SetCurrent(address);
  return rc;
}

// The current record's node, which must still be live.
uint8_t FetchCurrent(Store& store, const HandleEntry& entry, Node** node) {
  if (entry.current == 0) return OKV_NO_CURRENT_RECORD;
  if (const uint8_t rc = store.LoadKeys()) return rc;
  if (const uint8_t rc = store.FetchNode(entry.current, node)) return rc;
  return (*node)->free ? OKV_RECORD_NOT_FOUND : OKV_SUCCESS;
}

uint8_t UpdateKeyed(Store& store, const HandleEntry& entry, const void* record) {
  Node* node = nullptr;
  if (const uint8_t rc = FetchCurrent(store, entry, &node)) return rc;
  std::span<const uint8_t> old;
  if (const uint8_t rc = store.Record(*node, &old)) return rc;
  const std::span<const uint8_t> fresh = RecordSpan(record, store);
  // Every check comes before the first change, so a refused update changes nothing.
  std::vector<uint32_t>& owners = OwnerScratch(store.keyCount());
  bool changed[kMaxKeys] = {};
  for (unsigned k = 0; k < store.keyCount(); ++k) {
    const KeyDef& key = store.key(k);
    if (CompareKeys(key, KeyField(key, old), KeyField(key, fresh)) == 0) continue;
    if (!key.allowsDuplicates()) {
      uint32_t holder = 0;
      if (const uint8_t rc = SearchKey(store, k, SearchMode::kEqual, KeyField(key, fresh), &holder)) return rc;
      if (holder != 0) return OKV_DUPLICATE_KEY;
    }
    changed[k] = true;
  }
  for (unsigned k = 0; k < store.keyCount(); ++k) {
    if (!changed[k]) continue;
    uint32_t next = 0, previous = 0;
    uint32_t* levelOwners = &owners[k * kMaxLevels];
    if (const uint8_t rc = UnlinkNode(store, k, *node, &next, &previous)) return rc;
    const std::span<const uint8_t> value = KeyField(store.key(k), fresh);
    if (const uint8_t rc = FindInsertionPoints(store, k, value, store.maxLevel(), node->level, levelOwners)) {
      return rc;
    }
    if (const uint8_t rc = LinkNode(store, k, *node, levelOwners)) return rc;
  }
  store.SetRecord(*node, fresh.data());
  return OKV_SUCCESS;
}

uint8_t UpdateRecord(uint16_t handle, const void* record) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || record == nullptr) return OKV_PARAMETER;
  return ChangeCall(*entry,
                    [&](Store& store, CallFile&) -> uint8_t {
                      if (store.keyCount() != 0) return UpdateKeyed(store, *entry, record);
                      return store.header().recordCount() == 0 ? OKV_NO_CURRENT_RECORD
                                                               : WriteKeylessRecord(store, record);
                    },
                    {OKV_NO_CURRENT_RECORD});
}

uint8_t DeleteKeyed(Store& store, const HandleEntry& entry, std::vector<Neighbours>* saved) {
  Node* node = nullptr;
  if (const uint8_t rc = FetchCurrent(store, entry, &node)) return rc;
  Header& header = store.header();
  if (header.recordCount() == 0) return OKV_FILE_CORRUPTED;
  saved->resize(store.keyCount());
  for (unsigned k = 0; k < store.keyCount(); ++k) {
    if (const uint8_t rc = UnlinkNode(store, k, *node, &(*saved)[k].next, &(*saved)[k].previous)) return rc;
  }
  node->free = true;
  node->links[0] = header.freeHead();
  header.SetFreeHead(node->offset);
  header.SetRecordCount(header.recordCount() - 1);
  // The search level drops to the highest level still in use.
  const uint8_t used = HighestUsedLevel(store);
  header.SetCurrentLevel(header.recordCount() == 0 ? 0 : std::max<uint8_t>(used, 1));
  store.MarkHeaderDirty();
  return OKV_SUCCESS;
}

uint8_t DeleteKeyless(Store& store, CallFile& file) {
  if (store.fileSize() == kHeaderSize) return OKV_RECORD_NOT_FOUND;
  if (const uint8_t rc = CheckKeylessSize(store)) return rc;
  store.header().SetNodeCount(0);
  store.header().SetRecordCount(0);
  store.MarkHeaderDirty();
  if (const uint8_t rc = store.Flush()) return rc;
  return file.SetLength(kHeaderSize);
}

uint8_t DeleteRecord(uint16_t handle) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr) return OKV_PARAMETER;
  static std::vector<Neighbours> saved;
  saved.clear();
  bool keyed = false;
  const uint8_t rc = ChangeCall(*entry, [&](Store& store, CallFile& file) -> uint8_t {
    keyed = store.keyCount() != 0;
    return keyed ? DeleteKeyed(store, *entry, &saved) : DeleteKeyless(store, file);
  });
  if (rc == OKV_SUCCESS && keyed) {
    entry->saved.assign(saved.begin(), saved.end());
    entry->current = 0;
    entry->currentDeleted = true;
  }
  return rc;
}

}  // namespace

}  // namespace okv

extern "C" {

OKV_EXPORT uint8_t OKVCreateRec(uint16_t handle, const void* record) {
  return okv::Locked([&]() -> uint8_t { return okv::AddRecord(handle, record, okv::LevelPolicy::kDrawn); });
}

OKV_EXPORT uint8_t OKVCreateBTreeRec(uint16_t handle, const void* record) {
  return okv::Locked([&]() -> uint8_t { return okv::AddRecord(handle, record, okv::LevelPolicy::kBalanced); });
}

OKV_EXPORT uint8_t OKVUpdateRec(uint16_t handle, const void* record) {
  return okv::Locked([&]() -> uint8_t { return okv::UpdateRecord(handle, record); });
}

OKV_EXPORT uint8_t OKVDeleteRec(uint16_t handle) {
  return okv::Locked([&]() -> uint8_t { return okv::DeleteRecord(handle); });
}

}  // extern "C"
