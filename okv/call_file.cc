// One call's view of its data file; see call_file.h.
#include "okv/call_file.h"

#include <algorithm>

#include "okv/okv.h"

namespace okv {

uint8_t CallFile::Open(const std::string& dataName, const std::string& journalName, CallMode mode) {
  mode_ = mode;
  if (mode == CallMode::kJournaled) {
    if (const uint8_t rc = journal_.Begin(dataName, journalName)) return rc;
  } else if (mode == CallMode::kDirectWrite) {
    if (const uint8_t rc = RecoverJournal(dataName, journalName)) return rc;
  }
  const uint32_t flags = kOpenBinary | (mode == CallMode::kDirectWrite ? uint32_t{kOpenReadWrite} : 0u);
  if (const uint8_t rc = data_.Open(dataName, flags)) return rc;
  return data_.Size(&size_);
}

uint8_t CallFile::Write(uint32_t offset, std::span<const uint8_t> bytes) {
  if (mode_ == CallMode::kJournaled) {
    journal_.AddWrite(offset, bytes);
    return OKV_SUCCESS;
  }
  return data_.WriteAt(offset, bytes.data(), bytes.size());
}

uint8_t CallFile::SetLength(uint32_t length) {
  if (mode_ == CallMode::kJournaled) {
    journal_.AddSetLength(length);
    return OKV_SUCCESS;
  }
  return data_.SetLength(length);
}

uint8_t CallFile::Finish(uint8_t rc, std::initializer_list<uint8_t> closeMayReplace) {
  if (data_.isOpen()) {
    const uint8_t closeRc = data_.Close();
    const bool replaceable =
        rc == OKV_SUCCESS || std::find(closeMayReplace.begin(), closeMayReplace.end(), rc) != closeMayReplace.end();
    if (closeRc != OKV_SUCCESS && replaceable) rc = closeRc;
  }
  if (!journal_.active()) return rc;
  if (rc != OKV_SUCCESS) {
    journal_.Abort();
    return rc;
  }
  return journal_.Commit();
}

}  // namespace okv
