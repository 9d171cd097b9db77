// Exported reading calls: keyed searches, first and last, stepping, reads by
// address and the record of a keyless file. None of them changes the file.
#include <cstring>

#include "okv/api_common.h"
#include "okv/skiplist.h"
#include "okv/store.h"

namespace okv {

namespace {

// Whether a call needs a key number below the file's key count.
enum class KeyUse { kNone, kKeyNumber };

// Runs a reading call on a handle's file: opens it read-only, loads the
// header and, for a keyed file, the key blocks, then runs `work`. A close
// failure replaces success and "not found".
template <typename Work>
uint8_t ReadCall(HandleEntry& entry, Work work) {
  CallFile file;
  uint8_t rc = file.Open(entry.name, entry.journalName, CallMode::kRead);
  Store store(file, entry.recordKey.data());
  if (rc == OKV_SUCCESS) rc = store.LoadHeader();
  if (rc == OKV_SUCCESS) rc = work(store);
  return file.Finish(rc, {OKV_RECORD_NOT_FOUND});
}

uint8_t LoadKeyedFile(Store& store, unsigned keyNumber) {
  if (store.keyCount() == 0) return OKV_WRONG_FILE_TYPE;
  if (keyNumber >= store.keyCount()) return OKV_PARAMETER;
  return store.LoadKeys();
}

// Copies a found record to the caller and makes it the current record.
uint8_t Deliver(Store& store, HandleEntry& entry, Node& node, void* out) {
  std::span<const uint8_t> record;
  if (const uint8_t rc = store.Record(node, &record)) return rc;
  std::memcpy(out, record.data(), record.size());
  entry.SetCurrent(node.offset);
  return OKV_SUCCESS;
}

// The end of a search: nothing found leaves no current record.
uint8_t DeliverFound(Store& store, HandleEntry& entry, uint32_t found, void* out) {
  if (found == 0) {
    entry.SetCurrent(0);
    return OKV_RECORD_NOT_FOUND;
  }
  Node* node = nullptr;
  if (const uint8_t rc = store.FetchLinked(found, 0, &node)) return rc;
  return Deliver(store, entry, *node, out);
}

uint8_t ReadByKey(uint16_t handle, uint16_t keyNumber, SearchMode mode, const void* value, void* out) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || value == nullptr || out == nullptr) return OKV_PARAMETER;
  return ReadCall(*entry, [&](Store& store) -> uint8_t {
    if (const uint8_t rc = LoadKeyedFile(store, keyNumber)) return rc;
    uint32_t found = 0;
    if (const uint8_t rc = SearchKey(store, keyNumber, mode, ProbeField(store.key(keyNumber), value), &found)) {
      return rc;
    }
    return DeliverFound(store, *entry, found, out);
  });
}

uint8_t ReadEnd(uint16_t handle, uint16_t keyNumber, Direction from, void* out) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || out == nullptr) return OKV_PARAMETER;
  return ReadCall(*entry, [&](Store& store) -> uint8_t {
    if (const uint8_t rc = LoadKeyedFile(store, keyNumber)) return rc;
    return DeliverFound(store, *entry, store.Links(0, keyNumber, from)[0], out);
  });
}

// The neighbour of the current record, or of the record this handle deleted
// last. A record deleted meanwhile elsewhere has no neighbours to give.
uint8_t ReadNeighbour(uint16_t handle, uint16_t keyNumber, Direction d, void* out) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || out == nullptr) return OKV_PARAMETER;
  if (entry->current == 0 && !entry->currentDeleted) return OKV_NO_CURRENT_RECORD;
  return ReadCall(*entry, [&](Store& store) -> uint8_t {
    if (const uint8_t rc = LoadKeyedFile(store, keyNumber)) return rc;
    uint32_t candidate = 0;
    if (entry->current == 0) {
      if (keyNumber < entry->saved.size()) {
        const Neighbours& saved = entry->saved[keyNumber];
        candidate = d == Direction::kForward ? saved.next : saved.previous;
      }
    } else {
      Node* current = nullptr;
      if (const uint8_t rc = store.FetchNode(entry->current, &current)) return rc;
      if (current->free) return OKV_RECORD_NOT_FOUND;
      candidate = store.Links(entry->current, keyNumber, d)[0];
    }
    if (candidate == 0) return OKV_RECORD_NOT_FOUND;
    Node* node = nullptr;
    if (const uint8_t rc = store.FetchNode(candidate, &node)) return rc;
    if (node->free) return OKV_RECORD_NOT_FOUND;
    return Deliver(store, *entry, *node, out);
  });
}

uint8_t ReadByAddress(uint16_t handle, uint32_t address, void* out) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || out == nullptr) return OKV_PARAMETER;
  return ReadCall(*entry, [&](Store& store) -> uint8_t {
    if (address == 0) return OKV_RECORD_NOT_FOUND;
    if (store.keyCount() == 0) return OKV_WRONG_FILE_TYPE;
    if (address < store.keyBlocksEnd()) return OKV_PARAMETER;
    if (const uint8_t rc = store.LoadKeys()) return rc;
    entry->SetCurrent(address);
    if (address >= store.fileSize()) {
      entry->SetCurrent(0);
      return OKV_RECORD_NOT_FOUND;
    }
    Node* node = nullptr;
    if (const uint8_t rc = store.FetchNode(address, &node)) return rc;
    if (node->free) {
      entry->SetCurrent(0);
      return OKV_RECORD_NOT_FOUND;
    }
    return Deliver(store, *entry, *node, out);
  });
}

uint8_t ReadKeylessRecord(uint16_t handle, void* out) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || out == nullptr) return OKV_PARAMETER;
  return ReadCall(*entry, [&](Store& store) -> uint8_t {
    if (store.keyCount() != 0) return OKV_WRONG_FILE_TYPE;
    if (store.fileSize() == kHeaderSize) return OKV_RECORD_NOT_FOUND;
    if (store.fileSize() != kHeaderSize + store.storedSize()) return OKV_FILE_CORRUPTED;
    if (const uint8_t rc = store.ReadSoleRecord(static_cast<uint8_t*>(out))) return rc;
    entry->SetCurrent(0);
    return OKV_SUCCESS;
  });
}

uint8_t GetAddress(uint16_t handle, uint32_t* address) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || address == nullptr) return OKV_PARAMETER;
  if (entry->current == 0) return OKV_NO_CURRENT_RECORD;
  *address = entry->current;
  return OKV_SUCCESS;
}

}  // namespace

}  // namespace okv

extern "C" {

#define OKV_KEYED_READ(Name, Mode)                                                                              \
  OKV_EXPORT uint8_t Name(uint16_t handle, uint16_t keyNumber, const void* keyValue, void* record) {            \
    return okv::Locked([&]() -> uint8_t { return okv::ReadByKey(handle, keyNumber, Mode, keyValue, record); }); \
  }
OKV_KEYED_READ(OKVReadRecEQ, okv::SearchMode::kEqual)
OKV_KEYED_READ(OKVReadRecGE, okv::SearchMode::kGreaterOrEqual)
OKV_KEYED_READ(OKVReadRecGT, okv::SearchMode::kGreater)
OKV_KEYED_READ(OKVReadRecLE, okv::SearchMode::kLessOrEqual)
OKV_KEYED_READ(OKVReadRecLT, okv::SearchMode::kLess)
#undef OKV_KEYED_READ

OKV_EXPORT uint8_t OKVReadRecLO(uint16_t handle, uint16_t keyNumber, void* record) {
  return okv::Locked([&]() -> uint8_t { return okv::ReadEnd(handle, keyNumber, okv::Direction::kForward, record); });
}

OKV_EXPORT uint8_t OKVReadRecHI(uint16_t handle, uint16_t keyNumber, void* record) {
  return okv::Locked([&]() -> uint8_t { return okv::ReadEnd(handle, keyNumber, okv::Direction::kBackward, record); });
}

OKV_EXPORT uint8_t OKVReadRecNX(uint16_t handle, uint16_t keyNumber, void* record) {
  return okv::Locked(
      [&]() -> uint8_t { return okv::ReadNeighbour(handle, keyNumber, okv::Direction::kForward, record); });
}

OKV_EXPORT uint8_t OKVReadRecPR(uint16_t handle, uint16_t keyNumber, void* record) {
  return okv::Locked(
      [&]() -> uint8_t { return okv::ReadNeighbour(handle, keyNumber, okv::Direction::kBackward, record); });
}

OKV_EXPORT uint8_t OKVReadRecIX(uint16_t handle, uint32_t address, void* record) {
  return okv::Locked([&]() -> uint8_t { return okv::ReadByAddress(handle, address, record); });
}

OKV_EXPORT uint8_t OKVGetRecIX(uint16_t handle, uint32_t* address) {
  return okv::Locked([&]() -> uint8_t { return okv::GetAddress(handle, address); });
}

OKV_EXPORT uint8_t OKVReadRec(uint16_t handle, void* record) {
  return okv::Locked([&]() -> uint8_t { return okv::ReadKeylessRecord(handle, record); });
}

}  // extern "C"
