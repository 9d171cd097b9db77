// Journal building, commit, replay and roll-back; see journal.h.
#include "okv/journal.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "okv/format.h"
#include "okv/okv.h"

namespace okv {

namespace {

struct JournalRecord {
  uint8_t kind;
  uint32_t first;   // length, offset or open flags
  uint32_t second;  // count or permission word
  const uint8_t* bytes;
};

enum class ParseOutcome { kValid, kIncomplete, kUnknownKind };

constexpr int64_t kFileAbsent = -1;

int64_t DataFileSize(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : kFileAbsent;
}

// Splits the records behind the prologue and checks that replaying them keeps
// inside the data file: no write or cut beyond its current end, nothing on a
// missing file before it is recreated, and a recreate that really creates.
ParseOutcome ParseRecords(std::span<const uint8_t> body, int64_t dataSize, std::vector<JournalRecord>* records) {
  records->clear();
  size_t at = 0;
  int64_t size = dataSize;
  while (at < body.size()) {
    const uint8_t kind = body[at++];
    if (kind > kRecordRecreate) return ParseOutcome::kUnknownKind;
    const size_t fixed = kind == kRecordSetLength ? 4 : 8;
    if (body.size() - at < fixed) return ParseOutcome::kIncomplete;
    JournalRecord record{kind, LoadU32(&body[at]), fixed == 8 ? LoadU32(&body[at + 4]) : 0, nullptr};
    at += fixed;
    switch (kind) {
      case kRecordSetLength:
        if (size == kFileAbsent || record.first > size) return ParseOutcome::kIncomplete;
        size = record.first;
        break;
      case kRecordWrite: {
        const uint64_t end = uint64_t{record.first} + record.second;
        if (size == kFileAbsent || record.first > size || end > UINT32_MAX) return ParseOutcome::kIncomplete;
        if (body.size() - at < record.second) return ParseOutcome::kIncomplete;
        record.bytes = &body[at];
        at += record.second;
        size = std::max<int64_t>(size, static_cast<int64_t>(end));
        break;
      }
      default:
        if (!(record.first & kOpenCreate)) return ParseOutcome::kIncomplete;
        size = 0;
        break;
    }
    records->push_back(record);
  }
  return ParseOutcome::kValid;
}

// Replays records onto a data file; at commit it also keeps the bytes each
// record overwrites so that a failure part-way can be rolled back.
class Applier {
 public:
  Applier(const std::string& dataName, bool keepUndo) : name_(dataName), keepUndo_(keepUndo) {}

  uint8_t Run(const std::vector<JournalRecord>& records) {
    const int64_t before = DataFileSize(name_);
    existedBefore_ = before != kFileAbsent;
    originalSize_ = existedBefore_ ? static_cast<uint64_t>(before) : 0;
    size_ = originalSize_;
    for (const JournalRecord& record : records) {
      if (const uint8_t rc = Apply(record)) return rc;
    }
    if (!data_.isOpen()) return OKV_SUCCESS;
    if (const uint8_t rc = data_.Flush()) return rc;
    return data_.Close();
  }

  // Whether Run changed anything in the data file before it stopped.
  bool touched() const { return touched_; }

  // Restores the data file as it was before Run; false when it cannot.
  bool RollBack() {
    if (!touched_) {
      if (data_.isOpen()) data_.Close();
      return true;
    }
    if (!existedBefore_) {
      if (data_.isOpen()) data_.Close();
      return !PathExists(name_) || RemoveFile(name_) == OKV_SUCCESS;
    }
    if (recreated_) return false;
    if (!data_.isOpen() && data_.Open(name_, kOpenReadWrite | kOpenBinary) != OKV_SUCCESS) return false;
    bool ok = true;
    for (auto image = images_.rbegin(); image != images_.rend(); ++image) {
      ok = ok && data_.WriteAt(image->offset, image->bytes.data(), image->bytes.size()) == OKV_SUCCESS;
    }
    ok = ok && data_.SetLength(originalSize_) == OKV_SUCCESS && data_.Flush() == OKV_SUCCESS;
    return data_.Close() == OKV_SUCCESS && ok;
  }

 private:
  struct Image {
    uint64_t offset;
    std::vector<uint8_t> bytes;
  };

  uint8_t OpenData() { return data_.isOpen() ? OKV_SUCCESS : data_.Open(name_, kOpenReadWrite | kOpenBinary); }

  uint8_t SaveImage(uint64_t offset, uint64_t count) {
    if (!keepUndo_ || offset >= size_) return OKV_SUCCESS;
    Image image{offset, std::vector<uint8_t>(std::min(count, size_ - offset))};
    if (const uint8_t rc = data_.ReadAt(offset, image.bytes.data(), image.bytes.size())) return rc;
    images_.push_back(std::move(image));
    return OKV_SUCCESS;
  }

  uint8_t Apply(const JournalRecord& record) {
    if (record.kind == kRecordRecreate) {
      if (data_.isOpen()) data_.Close();
      recreated_ = true;
      touched_ = true;
      if (PathExists(name_)) {
        if (const uint8_t rc = RemoveFile(name_)) return rc;
      }
      size_ = 0;
      return data_.Open(name_, record.first | kOpenReadWrite);
    }
    if (const uint8_t rc = OpenData()) return rc;
    touched_ = true;
    if (record.kind == kRecordSetLength) {
      if (const uint8_t rc = SaveImage(record.first, size_ - std::min<uint64_t>(record.first, size_))) return rc;
      size_ = record.first;
      return data_.SetLength(record.first);
    }
    if (const uint8_t rc = SaveImage(record.first, record.second)) return rc;
    size_ = std::max<uint64_t>(size_, uint64_t{record.first} + record.second);
    return data_.WriteAt(record.first, record.bytes, record.second);
  }

  const std::string& name_;
  const bool keepUndo_;
  DiskFile data_;
  bool existedBefore_ = false;
  bool recreated_ = false;
  bool touched_ = false;
  uint64_t originalSize_ = 0;
  uint64_t size_ = 0;
  std::vector<Image> images_;
};

uint8_t ReadWholeFile(const std::string& name, std::vector<uint8_t>* bytes) {
  DiskFile file;
  if (const uint8_t rc = file.Open(name, kOpenBinary)) return rc;
  uint64_t size = 0;
  uint8_t rc = file.Size(&size);
  if (rc == OKV_SUCCESS) {
    bytes->resize(size);
    rc = size == 0 ? OKV_SUCCESS : file.ReadAt(0, bytes->data(), bytes->size());
  }
  const uint8_t closeRc = file.Close();
  return rc ? rc : closeRc;
}

}  // namespace

uint8_t DeriveJournalName(std::string_view dataName, std::string* journalName) {
  const size_t slash = dataName.rfind('/');
  const size_t dot = dataName.rfind('.');
  const bool hasExtension = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
  if (hasExtension && dataName.substr(dot) == kJournalExtension) return OKV_PARAMETER;
  journalName->assign(hasExtension ? dataName.substr(0, dot) : dataName);
  journalName->append(kJournalExtension);
  return OKV_SUCCESS;
}

Journal::~Journal() {
  if (active_) Abort();
}

uint8_t Journal::Begin(const std::string& dataName, const std::string& journalName) {
  if (dataName.size() > kMaxJournaledNameLength) return OKV_PARAMETER;
  if (PathExists(journalName)) {
    if (const uint8_t rc = RecoverJournal(dataName, journalName)) return rc;
  }
  if (const uint8_t rc = file_.Open(journalName, kOpenCreate | kOpenExclusive | kOpenReadWrite | kOpenBinary)) {
    return rc;
  }
  dataName_ = dataName;
  journalName_ = journalName;
  buffer_.assign(kJournalPrologueSize, 0);
  buffer_[0] = kJournalWriting;
  std::memcpy(&buffer_[1], dataName.data(), dataName.size());
  active_ = true;
  return OKV_SUCCESS;
}

void Journal::AddWrite(uint32_t offset, std::span<const uint8_t> bytes) {
  uint8_t fixed[9] = {kRecordWrite};
  StoreU32(fixed + 1, offset);
  StoreU32(fixed + 5, static_cast<uint32_t>(bytes.size()));
  buffer_.insert(buffer_.end(), fixed, fixed + sizeof fixed);
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void Journal::AddSetLength(uint32_t length) {
  uint8_t fixed[5] = {kRecordSetLength};
  StoreU32(fixed + 1, length);
  buffer_.insert(buffer_.end(), fixed, fixed + sizeof fixed);
}

void Journal::AddRecreate() {
  uint8_t fixed[9] = {kRecordRecreate};
  StoreU32(fixed + 1, kRecreateOpenFlags);
  StoreU32(fixed + 5, kRecreatePermission);
  buffer_.insert(buffer_.end(), fixed, fixed + sizeof fixed);
}

void Journal::Abort() {
  if (file_.isOpen()) file_.Close();
  if (active_) RemoveFile(journalName_);
  active_ = false;
}

uint8_t Journal::Commit() {
  const uint8_t complete = kJournalComplete;
  uint8_t rc = file_.WriteAt(0, buffer_.data(), buffer_.size());
  if (rc == OKV_SUCCESS) rc = file_.Flush();
  if (rc == OKV_SUCCESS) rc = file_.WriteAt(0, &complete, 1);
  if (rc == OKV_SUCCESS) rc = file_.Flush();
  if (rc == OKV_SUCCESS) rc = file_.Close();
  if (rc == OKV_SUCCESS) rc = SyncFolderOf(journalName_);
  if (rc != OKV_SUCCESS) {
    Abort();
    return rc;
  }
  if (faults::StopBeforeApplyRequested()) {
    active_ = false;
    return OKV_SUCCESS;
  }
  std::vector<JournalRecord> records;
  const auto body = std::span<const uint8_t>(buffer_).subspan(kJournalPrologueSize);
  if (ParseRecords(body, DataFileSize(dataName_), &records) != ParseOutcome::kValid) {
    Abort();
    return OKV_FILE_CORRUPTED;
  }
  active_ = false;
  Applier applier(dataName_, /*keepUndo=*/true);
  rc = applier.Run(records);
  if (rc != OKV_SUCCESS) {
    // Rolled back, the call changed nothing; otherwise the journal stays so
    // that the next open completes it.
    if (applier.RollBack()) RemoveFile(journalName_);
    return rc;
  }
  // The removal is made durable too: a journal that came back after a power
  // cut would be applied again over changes made since without a journal. The
  // change itself is already on disk, so a failing sync does not undo the call.
  const uint8_t removed = RemoveFile(journalName_);
  if (removed == OKV_SUCCESS) SyncFolderOf(journalName_);
  return removed;
}

uint8_t RecoverJournal(const std::string& dataName, const std::string& journalName) {
  if (!PathExists(journalName)) return OKV_SUCCESS;
  std::vector<uint8_t> bytes;
  if (const uint8_t rc = ReadWholeFile(journalName, &bytes)) return rc;
  std::vector<JournalRecord> records;
  ParseOutcome outcome = ParseOutcome::kIncomplete;
  if (bytes.size() >= kJournalPrologueSize && bytes[0] == kJournalComplete) {
    outcome =
        ParseRecords(std::span<const uint8_t>(bytes).subspan(kJournalPrologueSize), DataFileSize(dataName), &records);
  }
  if (outcome != ParseOutcome::kValid) {
    const uint8_t rc = RemoveFile(journalName);
    return outcome == ParseOutcome::kUnknownKind && rc == OKV_SUCCESS ? OKV_FILE_CORRUPTED : rc;
  }
  Applier applier(dataName, /*keepUndo=*/false);
  if (const uint8_t rc = applier.Run(records)) {
    // Only a replay that stopped half-way must be tried again; one that could
    // not begin leaves the data file whole, and the journal goes.
    if (!applier.touched()) RemoveFile(journalName);
    return rc;
  }
  return RemoveFile(journalName);
}

}  // namespace okv
