// Exported calls around handles: open and close, the header fields a handle
// may rewrite, counts, safe writes, record keys, sessions and the version.
#include <algorithm>
#include <cstring>

#include "okv/api_common.h"
#include "okv/format.h"
#include "okv/journal.h"
#include "okv/random.h"
#include "okv/store.h"

extern "C" {
OKV_EXPORT const char* verPWOKV = "v1.10";
}

namespace okv {

namespace {

constexpr size_t kLongestOpenName = 259;

void SeedGeneratorOnce() {
  static bool seeded = false;
  if (seeded) return;
  const int32_t ticks = static_cast<int32_t>(trk::platform::TickCountMs() & 0x7FFFFFFF);
  ProcessLevelGenerator().Seed(-ticks);
  seeded = true;
}

// Reads the first 128 bytes of a file being opened: 9 when missing, 2 when
// it cannot be opened, 20 when it is shorter or unreadable or lacks the magic.
uint8_t ReadOpeningHeader(const std::string& name, Header* header) {
  DiskFile file;
  if (const uint8_t rc = file.Open(name, kOpenBinary)) return rc;
  const uint8_t rc = file.ReadAt(0, header->bytes(), kHeaderSize);
  file.Close();
  if (rc != OKV_SUCCESS || !header->HasMagic()) return OKV_NOT_OKV_FILE;
  return OKV_SUCCESS;
}

uint8_t OpenFile(const char* name, uint8_t openMode, uint16_t* handle) {
  SeedGeneratorOnce();
  if (name == nullptr || handle == nullptr) return OKV_PARAMETER;
  const size_t length = strnlen(name, kLongestOpenName + 1);
  if (length == 0 || length > kLongestOpenName) return OKV_PARAMETER;
  HandleTable& table = ProcessHandles();
  if (table.Full()) return OKV_NO_HANDLES;
  HandleEntry entry;
  entry.name.assign(name, length);
  Header header;
  if (const uint8_t rc = ReadOpeningHeader(entry.name, &header)) return rc;
  if (const uint8_t rc = DeriveJournalName(entry.name, &entry.journalName)) return rc;
  // A change that was committed but not applied when its process died is
  // completed before anyone reads the file.
  if (PathExists(entry.journalName)) {
    if (const uint8_t rc = RecoverJournal(entry.name, entry.journalName)) return rc;
    if (const uint8_t rc = ReadOpeningHeader(entry.name, &header)) return rc;
  }
  if (header.creationState() != kCreationFinalized) return OKV_NOT_FINALIZED;
  entry.saved.resize(header.keyCount());
  entry.keyCount = header.keyCount();
  entry.recordSize = header.recordSize();
  entry.storedSize = static_cast<uint16_t>(StoredSize(header.recordSize(), header.encrypted()));
  entry.openFlags = header.openFlags();
  entry.encrypted = header.encrypted() ? header.encryptedByte() : 0;
  entry.openMode = openMode;
  std::memcpy(entry.recordKey.data(), header.storedKey(), kRecordKeySize);
  entry.safeWrites = 1;
  *handle = table.Add(std::move(entry));
  return OKV_SUCCESS;
}

// Rewrites header bytes through the handle pattern (journaled when safe writes are on).
uint8_t RewriteHeaderField(uint16_t handle, size_t at, std::span<const uint8_t> bytes) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr) return OKV_PARAMETER;
  CallFile file;
  uint8_t rc = file.Open(entry->name, entry->journalName, ModeFor(*entry, true));
  Store store(file, nullptr);
  if (rc == OKV_SUCCESS) rc = store.LoadHeader();
  if (rc == OKV_SUCCESS) rc = file.Write(static_cast<uint32_t>(at), bytes);
  return file.Finish(rc);
}

uint8_t SetFileName(uint16_t handle, const char* text) {
  if (ProcessHandles().Find(handle) == nullptr || text == nullptr) return OKV_PARAMETER;
  const size_t length = strnlen(text, kFileNameFieldSize);
  if (length >= kFileNameFieldSize) return OKV_PARAMETER;
  uint8_t field[kFileNameFieldSize] = {};
  std::memcpy(field, text, length);
  return RewriteHeaderField(handle, hdr::kFileName, field);
}

uint8_t SetFileId(uint16_t handle, uint16_t fileId) {
  uint8_t field[2];
  StoreU16(field, fileId);
  return RewriteHeaderField(handle, hdr::kFileId, field);
}

uint8_t NumRecords(uint16_t handle, uint32_t* recordCount, uint32_t* nodeCount) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || recordCount == nullptr || nodeCount == nullptr) return OKV_PARAMETER;
  CallFile file;
  uint8_t rc = file.Open(entry->name, entry->journalName, CallMode::kRead);
  Store store(file, nullptr);
  if (rc == OKV_SUCCESS) rc = store.LoadHeader();
  if (rc == OKV_SUCCESS) {
    *recordCount = store.header().recordCount();
    *nodeCount = store.header().nodeCount();
  }
  return file.Finish(rc);
}

}  // namespace

}  // namespace okv

extern "C" {

OKV_EXPORT uint8_t OKVOpenFile(const char* name, uint8_t openMode, uint16_t* handle) {
  return okv::Locked([&]() -> uint8_t { return okv::OpenFile(name, openMode, handle); });
}

OKV_EXPORT uint8_t OKVCloseFile(uint16_t handle) {
  return okv::Locked([&]() -> uint8_t {
    if (okv::ProcessHandles().Find(handle) == nullptr) return OKV_PARAMETER;
    okv::ProcessHandles().Remove(handle);
    return OKV_SUCCESS;
  });
}

OKV_EXPORT uint8_t OKVSetFileName(uint16_t handle, const char* text) {
  return okv::Locked([&]() -> uint8_t { return okv::SetFileName(handle, text); });
}

OKV_EXPORT uint8_t OKVSetFileID(uint16_t handle, uint16_t fileId) {
  return okv::Locked([&]() -> uint8_t { return okv::SetFileId(handle, fileId); });
}

OKV_EXPORT uint8_t OKVNumRecords(uint16_t handle, uint32_t* recordCount, uint32_t* nodeCount) {
  return okv::Locked([&]() -> uint8_t { return okv::NumRecords(handle, recordCount, nodeCount); });
}

OKV_EXPORT char* GetPWOKVVersion(char* buffer, int bufferSize) {
  if (buffer == nullptr || bufferSize <= 0) return buffer;
  const size_t room = static_cast<size_t>(bufferSize) - 1;
  const size_t length = std::min(room, std::strlen(verPWOKV));
  std::memcpy(buffer, verPWOKV, length);
  buffer[length] = '\0';
  buffer[room] = '\0';
  return buffer;
}

OKV_EXPORT uint8_t OKVGetSafeWrites(uint16_t handle, uint8_t* flag) {
  return okv::Locked([&]() -> uint8_t {
    okv::HandleEntry* entry = okv::ProcessHandles().Find(handle);
    if (entry == nullptr || flag == nullptr) return OKV_PARAMETER;
    *flag = entry->safeWrites;
    return OKV_SUCCESS;
  });
}

OKV_EXPORT uint8_t OKVSetSafeWrites(uint16_t handle, uint8_t flag) {
  return okv::Locked([&]() -> uint8_t {
    okv::HandleEntry* entry = okv::ProcessHandles().Find(handle);
    if (entry == nullptr) return OKV_PARAMETER;
    entry->safeWrites = flag;
    return OKV_SUCCESS;
  });
}

OKV_EXPORT uint8_t OKVSetKey(uint16_t handle, const uint8_t* key32) {
  return okv::Locked([&]() -> uint8_t {
    okv::HandleEntry* entry = okv::ProcessHandles().Find(handle);
    if (entry == nullptr) return OKV_PARAMETER;
    if (key32 != nullptr) {
      for (size_t i = 0; i < entry->recordKey.size(); ++i) entry->recordKey[i] ^= key32[i];
    }
    return OKV_SUCCESS;
  });
}

// Sessions group nothing: each only waits until no engine call runs anywhere.
OKV_EXPORT uint8_t OKVBeginSession(void) {
  return okv::Locked([]() -> uint8_t { return OKV_SUCCESS; });
}
OKV_EXPORT uint8_t OKVEndSession(void) {
  return okv::Locked([]() -> uint8_t { return OKV_SUCCESS; });
}
OKV_EXPORT uint8_t OKVAbortSession(void) {
  return okv::Locked([]() -> uint8_t { return OKV_SUCCESS; });
}

}  // extern "C"
