// Removing the will-calls a truck has taken over from its master file.
#include "willcall/cleaning.h"

#include "schema/catalogue.h"
#include "willcall/folders.h"

namespace trk::willcall {
namespace {

using schema::Catalogue;
using schema::FileIndex;
using schema::TextOf;
using schema::WillCallRecord;

// The will-call file of one folder, opened through its own catalogue.
class WillCallFile {
 public:
  explicit WillCallFile(std::string folder) : catalogue_(std::move(folder)) {}
  uint8_t Open() { return catalogue_.OpenCatalogueFile(FileIndex::WillCall); }
  uint8_t Close() { return catalogue_.CloseCatalogueFile(FileIndex::WillCall); }
  uint16_t handle() const { return catalogue_.Handle(FileIndex::WillCall); }

 private:
  Catalogue catalogue_;
};

class Cleaner {
 public:
  Cleaner(Reporter& reporter, const std::string& dataDepotFolder, const schema::NodeRecord& node)
      : reporter_(reporter), dataDepotFolder_(dataDepotFolder), node_(node), nodeName_(TextOf(node.nodeName)) {}

  uint32_t Run(const std::string& currentFolder, uint16_t applicationList) {
    std::optional<WillCallFile> master;
    const uint8_t result = OpenMaster(currentFolder, master);
    if (result != OKV_SUCCESS) {
      reporter_.Failure(Msg::MasterOpenFailed, {result});
      return 0;
    }
    std::optional<WillCallFile> copy;
    if (FindNodeCopy(applicationList, copy)) {
      CleanAgainstCopy(*master, *copy);
      if (const uint8_t closed = copy->Close(); closed != OKV_SUCCESS) {
        reporter_.Failure(Msg::CopyCloseFailed, {closed});
      }
    }
    if (const uint8_t closed = master->Close(); closed != OKV_SUCCESS) {
      reporter_.Failure(Msg::MasterCloseFailed, {closed});
    }
    return removed_;
  }

 private:
  // The master the conversion fills; where it does not exist, one kept under
  // the node's name.
  uint8_t OpenMaster(const std::string& currentFolder, std::optional<WillCallFile>& master) {
    master.emplace(ConversionMasterFolder(currentFolder, node_));
    uint8_t result = master->Open();
    if (result == OKV_FILE_NOT_FOUND && IsPlainFolderName(nodeName_)) {
      master.emplace(NamedMasterFolder(currentFolder, nodeName_));
      result = master->Open();
    }
    return result;
  }

  // A name that is no plain folder name counts as an application without copy.
  uint8_t OpenCopy(std::optional<WillCallFile>& file, std::string folder, std::string_view application) {
    if (!IsPlainFolderName(nodeName_) || !IsPlainFolderName(application)) return OKV_FILE_NOT_FOUND;
    file.emplace(std::move(folder));
    const uint8_t result = file->Open();
    if (result != OKV_SUCCESS) file.reset();
    return result;
  }

  bool FindNodeCopy(uint16_t applicationList, std::optional<WillCallFile>& copy) {
    schema::ApplicationRecord application{};
    uint8_t result = OKVReadRecLO(applicationList, 0, &application);
    if (result != OKV_SUCCESS) {
      reporter_.EngineFailure(result, OKV_OP_READ_REC_LO, FileIndex::DDPAppl);
      return false;
    }
    for (;;) {
      application_ = std::string(TextOf(application.applicationName));
      result = OpenCopy(copy, NodeCopyFolder(dataDepotFolder_, nodeName_, application_), application_);
      if (result == OKV_SUCCESS) return true;
      if (result != OKV_FILE_NOT_FOUND) {
        reporter_.Failure(Msg::CopyOpenFailed, {result});
        return false;
      }
      result = OKVReadRecNX(applicationList, 0, &application);
      if (result == OKV_RECORD_NOT_FOUND) return false;
      if (result != OKV_SUCCESS) {
        reporter_.EngineFailure(result, OKV_OP_READ_REC_NX, FileIndex::DDPAppl);
        return false;
      }
    }
  }

  void CleanAgainstCopy(WillCallFile& master, WillCallFile& copy) {
    std::optional<WillCallFile> edit;
    const uint8_t result = OpenCopy(edit, EditCopyFolder(dataDepotFolder_, nodeName_, application_), application_);
    if (result != OKV_SUCCESS && result != OKV_FILE_NOT_FOUND) {
      reporter_.Failure(Msg::EditOpenFailed, {result});
      return;
    }
    WalkMaster(master.handle(), copy.handle(), edit ? edit->handle() : 0);
    if (!edit) return;
    if (const uint8_t closed = edit->Close(); closed != OKV_SUCCESS) {
      reporter_.Failure(Msg::EditCloseFailed, {closed});
    }
  }

  void WalkMaster(uint16_t master, uint16_t copy, uint16_t edit) {
    WillCallRecord record{};
    uint8_t result = OKVReadRecLO(master, 0, &record);
    if (result != OKV_SUCCESS) {
      reporter_.EngineFailure(result, OKV_OP_READ_REC_LO, FileIndex::WillCall);
      return;
    }
    do {
      if (TakenOver(record, copy, edit)) Remove(record, master, copy);
      result = OKVReadRecNX(master, 0, &record);
    } while (result == OKV_SUCCESS);
    if (result != OKV_RECORD_NOT_FOUND) reporter_.EngineFailure(result, OKV_OP_READ_REC_NX, FileIndex::WillCall);
  }

  // Leaves the node copy's matching record as its current record. Only a
  // definite "not there" from the edit copy lets a record go; an edit copy that
  // cannot be read keeps it.
  static bool TakenOver(const WillCallRecord& record, uint16_t copy, uint16_t edit) {
    WillCallRecord found{};
    if (OKVReadRecEQ(copy, 0, &record, &found) != OKV_SUCCESS) return false;
    return edit == 0 || OKVReadRecEQ(edit, 0, &record, &found) == OKV_RECORD_NOT_FOUND;
  }

  void Remove(const WillCallRecord& record, uint16_t master, uint16_t copy) {
    const std::string_view access = TextOf(record.accessNumber);
    uint8_t result = OKVDeleteRec(copy);
    if (result != OKV_SUCCESS) {
      reporter_.Failure(Msg::CopyDeleteFailed, {access, result});
      return;
    }
    result = OKVDeleteRec(master);
    if (result != OKV_SUCCESS) {
      reporter_.Failure(Msg::MasterDeleteFailed, {access, result});
      return;
    }
    ++removed_;
  }

  Reporter& reporter_;
  const std::string& dataDepotFolder_;
  const schema::NodeRecord& node_;
  const std::string nodeName_;
  std::string application_;  // the application whose node copy is open
  uint32_t removed_ = 0;
};

}  // namespace

uint32_t RemoveTakenOverRecords(Reporter& reporter, const std::string& dataDepotFolder,
                                uint16_t applicationListHandle, const schema::NodeRecord& node,
                                const std::optional<std::string>& currentFolder) {
  if (!currentFolder) {
    reporter.Failure(Msg::NoCurrentFolder);
    return 0;
  }
  return Cleaner(reporter, dataDepotFolder, node).Run(*currentFolder, applicationListHandle);
}

}  // namespace trk::willcall
