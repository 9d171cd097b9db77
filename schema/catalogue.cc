// The six catalogue operations over the engine; see catalogue.h.
#include "schema/catalogue.h"

namespace trk::schema {

namespace {

constexpr size_t kMaxPath = 259;  // the engine's limit on a file name

size_t Slot(FileIndex index) { return static_cast<size_t>(index); }
bool IsValid(FileIndex index) { return Slot(index) < kCatalogueSize; }

// Compares an opened file with its catalogue row; 0 when they agree.
uint8_t VerifyDefinition(uint16_t handle, const CatalogueEntry& entry) {
  OKVFileInfoBuf info{};
  uint8_t outcome = OKVFileInfo(handle, &info);
  if (outcome == OKV_SUCCESS && info.recordSize != entry.recordSize) outcome = OKV_OPEN_ERROR;
  for (uint16_t key = 0; key < entry.keyCount && outcome == OKV_SUCCESS; ++key) {
    OKVKeyInfoBuf keyInfo{};
    outcome = OKVKeyInfo(handle, key, &keyInfo);
    const KeyDefinition& expected = KeyTable[entry.firstKey + key];
    if (outcome == OKV_SUCCESS && (keyInfo.keyType != expected.type || keyInfo.keyOffset != expected.offset ||
                                   keyInfo.keyLength != expected.length)) {
      outcome = OKV_OPEN_ERROR;
    }
  }
  return outcome;
}

}  // namespace

Catalogue::Catalogue(std::string folder) : folder_(std::move(folder)) {}

Catalogue::~Catalogue() { CloseAll(); }

std::string Catalogue::PathOf(FileIndex index) const {
  if (!IsValid(index)) return folder_;
  return folder_ + EntryOf(index).diskFileName;
}

bool Catalogue::PathFits(FileIndex index) const { return IsValid(index) && PathOf(index).size() <= kMaxPath; }

uint16_t Catalogue::Handle(FileIndex index) const { return IsValid(index) ? handles_[Slot(index)] : 0; }

bool Catalogue::FileExists(FileIndex index) const {
  return PathFits(index) && OKVFileExists(PathOf(index).c_str()) != 0;
}

uint8_t Catalogue::OpenCatalogueFile(FileIndex index) {
  if (!PathFits(index)) return OKV_PARAMETER;
  uint16_t& slot = handles_[Slot(index)];
  if (slot != 0) return OKV_SUCCESS;
  uint16_t handle = 0;
  const uint8_t opened = OKVOpenFile(PathOf(index).c_str(), 1, &handle);
  if (opened != OKV_SUCCESS) return opened;
  const uint8_t outcome = VerifyDefinition(handle, EntryOf(index));
  if (outcome != OKV_SUCCESS) {
    OKVCloseFile(handle);
    return outcome;
  }
  slot = handle;
  return OKV_SUCCESS;
}

uint8_t Catalogue::CreateCatalogueFile(FileIndex index) {
  if (!PathFits(index)) return OKV_PARAMETER;
  const CatalogueEntry& entry = EntryOf(index);
  const std::string path = PathOf(index);
  uint8_t rc = OKVCreateFile(path.c_str(), entry.openFlags, entry.recordSize, entry.encrypted, entry.encryptionKey,
                             entry.headerFileName, entry.headerFileId);
  if (rc != OKV_SUCCESS) return rc;
  for (uint16_t key = 0; key < entry.keyCount && rc == OKV_SUCCESS; ++key) {
    const KeyDefinition& definition = KeyTable[entry.firstKey + key];
    uint16_t keyNumber = 0;
    rc = OKVCreateKey(path.c_str(), definition.type, definition.offset, definition.length, &keyNumber);
  }
  if (rc == OKV_SUCCESS) rc = OKVFinalizeCreate(path.c_str());
  if (rc != OKV_SUCCESS) OKVDeleteFile(path.c_str());
  return rc;
}

uint8_t Catalogue::OpenOrCreateCatalogueFile(FileIndex index) {
  uint8_t rc = OpenCatalogueFile(index);
  if (rc == OKV_FILE_NOT_FOUND) {
    rc = CreateCatalogueFile(index);
    if (rc == OKV_SUCCESS) rc = OpenCatalogueFile(index);
  }
  return rc;
}

uint8_t Catalogue::DeleteCatalogueFile(FileIndex index) {
  if (!PathFits(index)) return OKV_PARAMETER;
  CloseCatalogueFile(index);
  const std::string path = PathOf(index);
  return OKVFileExists(path.c_str()) ? OKVDeleteFile(path.c_str()) : OKV_SUCCESS;
}

uint8_t Catalogue::CloseCatalogueFile(FileIndex index) {
  if (!IsValid(index)) return OKV_PARAMETER;
  uint16_t& slot = handles_[Slot(index)];
  if (slot == 0) return OKV_SUCCESS;
  const uint8_t rc = OKVCloseFile(slot);
  slot = 0;
  return rc;
}

uint8_t Catalogue::AddCatalogueRecord(FileIndex index, const void* record) {
  if (!PathFits(index)) return OKV_PARAMETER;
  if (handles_[Slot(index)] == 0) {
    if (!FileExists(index)) {
      const uint8_t created = CreateCatalogueFile(index);
      if (created != OKV_SUCCESS) return created;
    }
    const uint8_t opened = OpenCatalogueFile(index);
    if (opened != OKV_SUCCESS) return opened;
  }
  return OKVCreateRec(handles_[Slot(index)], record);
}

void Catalogue::CloseAll() {
  for (uint16_t i = 0; i < kCatalogueSize; ++i) CloseCatalogueFile(static_cast<FileIndex>(i));
}

}  // namespace trk::schema
