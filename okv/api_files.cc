// Exported calls addressed by file name (creation, key definition,
// finalizing, deleting, existence) and the two definition reports.
#include <cstring>

#include "okv/api_common.h"
#include "okv/format.h"
#include "okv/journal.h"
#include "okv/keys.h"
#include "okv/store.h"

namespace okv {

namespace {

void BuildNewHeader(Header* header, uint16_t openFlags, uint16_t recordSize, uint8_t encrypted,
                    const uint8_t* recordKey32, const char* fileNameText, uint16_t fileId) {
  uint8_t* raw = header->bytes();
  std::memset(raw, 0, kHeaderSize);
  std::memcpy(raw + hdr::kMagicAt, kMagic, sizeof kMagic);
  StoreU16(raw + hdr::kVersion, kFormatVersion);
  StoreU16(raw + hdr::kFileId, fileId);
  StoreU16(raw + hdr::kRecordSize, recordSize);
  StoreU16(raw + hdr::kOpenFlags, openFlags);
  raw[hdr::kEncrypted] = encrypted;
  raw[hdr::kMaxLevel] = MaxLevelFor(StoredSize(recordSize, encrypted != 0));
  if (recordKey32) std::memcpy(raw + hdr::kStoredKey, recordKey32, kRecordKeySize);
  if (fileNameText) std::memcpy(raw + hdr::kFileName, fileNameText, std::strlen(fileNameText));
  raw[hdr::kCreationState] = kCreationStateNew;
}

// A file still being defined holds only its header and key blocks.
bool HasDefinitionLayout(const Header& header, uint64_t fileSize) {
  const unsigned m = header.maxLevel();
  return m >= 1 && m <= kMaxLevels && header.keyCount() <= kMaxKeys && fileSize == KeyBlocksEnd(header.keyCount(), m);
}

// Opens a file being defined for a journaled change and reads its header:
// 9 when missing, 11 below 128 bytes, 20 without the magic.
uint8_t OpenDefinition(const char* name, CallFile* file, Store* store, std::string* dataName) {
  if (!IsStorableName(name)) return OKV_PARAMETER;
  dataName->assign(name);
  std::string journalName;
  if (const uint8_t rc = DeriveJournalName(*dataName, &journalName)) return rc;
  if (const uint8_t rc = file->Open(*dataName, journalName, CallMode::kJournaled)) return rc;
  if (file->size() < kHeaderSize) return OKV_FILE_CORRUPTED;
  if (const uint8_t rc = store->LoadHeader()) return rc;
  return store->header().HasMagic() ? OKV_SUCCESS : OKV_NOT_OKV_FILE;
}

uint8_t CreateFile(const char* name, uint16_t openFlags, uint16_t recordSize, uint8_t encrypted,
                   const uint8_t* recordKey32, const char* fileNameText, uint16_t fileId) {
  if (!IsStorableName(name) || recordSize == 0) return OKV_PARAMETER;
  if (encrypted && (recordKey32 == nullptr || recordSize > kMaxEncryptedRecordSize)) return OKV_PARAMETER;
  if (fileNameText && strnlen(fileNameText, kFileNameFieldSize) >= kFileNameFieldSize) return OKV_PARAMETER;
  const std::string dataName(name);
  std::string journalName;
  if (const uint8_t rc = DeriveJournalName(dataName, &journalName)) return rc;
  if (PathExists(dataName)) return OKV_OPEN_ERROR;
  Header header;
  BuildNewHeader(&header, openFlags, recordSize, encrypted, recordKey32, fileNameText, fileId);
  Journal journal;
  if (const uint8_t rc = journal.Begin(dataName, journalName)) return rc;
  journal.AddRecreate();
  journal.AddWrite(0, std::span<const uint8_t>(header.bytes(), kHeaderSize));
  return journal.Commit();
}

uint8_t CreateKey(const char* name, uint8_t keyType, uint16_t keyOffset, uint16_t keyLength, uint16_t* keyNumber) {
  if (name == nullptr || keyNumber == nullptr || !IsValidKeyDefinition(keyType, keyLength)) return OKV_PARAMETER;
  CallFile file;
  Store store(file, nullptr);
  std::string dataName;
  uint8_t rc = OpenDefinition(name, &file, &store, &dataName);
  Header& header = store.header();
  if (rc == OKV_SUCCESS && header.creationState() == kCreationFinalized) rc = OKV_ALREADY_FINALIZED;
  if (rc == OKV_SUCCESS && uint32_t{keyOffset} + keyLength > header.recordSize()) rc = OKV_PARAMETER;
  if (rc == OKV_SUCCESS && header.keyCount() >= kMaxKeys) rc = OKV_NO_MORE_KEYS;
  if (rc == OKV_SUCCESS && !HasDefinitionLayout(header, file.size())) rc = OKV_FILE_CORRUPTED;
  const uint16_t number = header.keyCount();
  if (rc == OKV_SUCCESS) {
    std::vector<uint8_t> block(KeyBlockSize(header.maxLevel()), 0);
    StoreU16(&block[0], keyOffset);
    StoreU16(&block[2], keyLength);
    block[4] = keyType;
    rc = file.Write(static_cast<uint32_t>(file.size()), block);
  }
  if (rc == OKV_SUCCESS) {
    header.SetKeyCount(number + 1);
    header.SetCreationState(kCreationStateKeyed);
    store.MarkHeaderDirty();
    rc = store.Flush();
  }
  rc = file.Finish(rc);
  if (rc == OKV_SUCCESS) *keyNumber = number;
  return rc;
}

uint8_t FinalizeCreate(const char* name) {
  if (name == nullptr) return OKV_PARAMETER;
  CallFile file;
  Store store(file, nullptr);
  std::string dataName;
  uint8_t rc = OpenDefinition(name, &file, &store, &dataName);
  if (rc == OKV_SUCCESS && !HasDefinitionLayout(store.header(), file.size())) rc = OKV_FILE_CORRUPTED;
  if (rc == OKV_SUCCESS && store.header().creationState() == kCreationFinalized) rc = OKV_ALREADY_FINALIZED;
  if (rc == OKV_SUCCESS) {
    store.header().SetCreationState(kCreationFinalized);
    store.MarkHeaderDirty();
    rc = store.Flush();
  }
  return file.Finish(rc);
}

// Opens a handle's file read-only and checks that it is a finalized OKV file.
uint8_t OpenDefinedFile(HandleEntry& entry, CallFile* file, Store* store) {
  if (const uint8_t rc = file->Open(entry.name, entry.journalName, CallMode::kRead)) return rc;
  return store->LoadHeader();
}

uint8_t CheckDefined(const Header& header) {
  if (!header.HasMagic()) return OKV_NOT_OKV_FILE;
  return header.creationState() != kCreationFinalized ? OKV_NOT_FINALIZED : OKV_SUCCESS;
}

uint8_t FileInfo(uint16_t handle, OKVFileInfoBuf* info) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || info == nullptr) return OKV_PARAMETER;
  CallFile file;
  Store store(file, nullptr);
  uint8_t rc = OpenDefinedFile(*entry, &file, &store);
  if (rc == OKV_SUCCESS) rc = CheckDefined(store.header());
  if (rc == OKV_SUCCESS) {
    const Header& header = store.header();
    info->version = header.version();
    info->nodeCount = header.nodeCount();
    info->recordCount = header.recordCount();
    info->fileId = header.fileId();
    info->keyCount = header.keyCount();
    info->recordSize = header.recordSize();
    info->openFlags = header.openFlags();
    info->encrypted = header.encryptedByte();
    std::memcpy(info->storedKey, header.storedKey(), kRecordKeySize);
    std::memset(info->fileName, 0, sizeof info->fileName);
    const char* text = reinterpret_cast<const char*>(header.fileName());
    std::memcpy(info->fileName, text, strnlen(text, kFileNameFieldSize - 1));
  }
  return file.Finish(rc);
}

uint8_t KeyInfo(uint16_t handle, uint16_t keyNumber, OKVKeyInfoBuf* info) {
  HandleEntry* entry = ProcessHandles().Find(handle);
  if (entry == nullptr || info == nullptr) return OKV_PARAMETER;
  CallFile file;
  Store store(file, nullptr);
  uint8_t rc = OpenDefinedFile(*entry, &file, &store);
  if (rc == OKV_SUCCESS && keyNumber >= store.header().keyCount()) rc = OKV_PARAMETER;
  if (rc == OKV_SUCCESS) rc = CheckDefined(store.header());
  uint8_t descriptor[kKeyDescriptorSize];
  if (rc == OKV_SUCCESS)
    rc = file.Read(KeyBlockOffset(keyNumber, store.header().maxLevel()), descriptor, sizeof descriptor);
  if (rc == OKV_SUCCESS) {
    info->keyOffset = LoadU16(descriptor);
    info->keyLength = LoadU16(descriptor + 2);
    info->keyType = descriptor[4];
  }
  return file.Finish(rc);
}

}  // namespace

}  // namespace okv

extern "C" {

OKV_EXPORT uint8_t OKVCreateFile(const char* name, uint16_t openFlags, uint16_t recordSize, uint8_t encrypted,
                                 const uint8_t* recordKey32, const char* fileNameText, uint16_t fileId) {
  return okv::Locked(
      [&] { return okv::CreateFile(name, openFlags, recordSize, encrypted, recordKey32, fileNameText, fileId); });
}

OKV_EXPORT uint8_t OKVCreateKey(const char* name, uint8_t keyType, uint16_t keyOffset, uint16_t keyLength,
                                uint16_t* keyNumber) {
  return okv::Locked([&]() -> uint8_t { return okv::CreateKey(name, keyType, keyOffset, keyLength, keyNumber); });
}

OKV_EXPORT uint8_t OKVFinalizeCreate(const char* name) {
  return okv::Locked([&]() -> uint8_t { return okv::FinalizeCreate(name); });
}

OKV_EXPORT uint8_t OKVDeleteFile(const char* name) {
  return okv::Locked([&]() -> uint8_t { return name == nullptr ? OKV_PARAMETER : okv::RemoveFile(name); });
}

OKV_EXPORT int OKVFileExists(const char* name) {
  constexpr size_t kLongestName = 260;
  int exists = 0;
  okv::Locked([&]() -> uint8_t {
    exists = name != nullptr && strnlen(name, kLongestName + 1) <= kLongestName && okv::PathExists(name);
    return OKV_SUCCESS;
  });
  return exists;
}

OKV_EXPORT uint8_t OKVFileInfo(uint16_t handle, OKVFileInfoBuf* info) {
  return okv::Locked([&]() -> uint8_t { return okv::FileInfo(handle, info); });
}

OKV_EXPORT uint8_t OKVKeyInfo(uint16_t handle, uint16_t keyNumber, OKVKeyInfoBuf* info) {
  return okv::Locked([&]() -> uint8_t { return okv::KeyInfo(handle, keyNumber, info); });
}

}  // extern "C"
