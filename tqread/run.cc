// The steps of a run around the record walk: the lock, the files, the two
// configuration records, the destination, closing and the end of the run.
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "tqread/conversion.h"

namespace trk::tqread {

namespace {

constexpr uint32_t kProgressMaximum = 32767;
constexpr const char* kDefaultDestination = "DELREAD.DAT";

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

ConversionRun::ConversionRun(const TQReadOptions& options, RunHooks hooks)
    : options_(options),
      variant_(static_cast<Variant>(options.variant)),
      hooks_(std::move(hooks)),
      config_(schema::DefaultConfigRecord()),
      officeConfig_(schema::DefaultOfficeConfigRecord()) {
  if (!hooks_.sink) hooks_.sink = [](const std::string&) {};
  if (!hooks_.openDeliveryFile) hooks_.openDeliveryFile = OpenDeliveryFile;
  if (options.sharedCatalogue != nullptr) {
    catalogue_ = options.sharedCatalogue;
  } else {
    const std::string folder = options.databaseFolder ? options.databaseFolder : platform::ProgramFolder();
    ownCatalogue_ = std::make_unique<schema::Catalogue>(WithTrailingSlash(folder));
    catalogue_ = ownCatalogue_.get();
  }
  for (uint16_t i = 0; i < schema::kCatalogueSize; ++i) openBefore_[i] = Handle(static_cast<FileIndex>(i)) != 0;
}

TQReadOutcome ConversionRun::Run() {
  platform::NamedMutexLock processControl(platform::NamedMutex::ForName("ProcessControl"));
  LogTrigger();
  if (!Office() && options_.databaseFolder != nullptr) Log(Msg::DatabaseFolder, catalogue_->Folder());
  config_ = schema::DefaultConfigRecord();
  if (OpenCompTran()) {
    if (!Office()) {
      ReturnParkedRecords();
      LogInventory();
    }
    ReadOfficeConfig();
    ConvertIntoDestination();
  }
  Log(Msg::GenerationComplete);
  if (Office()) {
    FinishOfficeRun();
  } else {
    ParkUnconvertedRecords();
  }
  CloseEverythingOpenedHere();
  return TQReadOutcome{conversionOk_, errorSeen_, config_.communicationMethod, recordsAtStart_, processed_};
}

void ConversionRun::ConvertIntoDestination() {
  const std::string destination = DestinationPath();
  Log(Msg::OutputFile, destination);
  file_ = hooks_.openDeliveryFile(destination, officeConfig_.appendDeliveryFile == 1);
  if (!file_) {
    errorSeen_ = true;
    Log(Msg::OutputOpenFailed);
    return;
  }
  CountRecords();
  ReadMainConfig();
  Log(Msg::ProgressInit);
  StartProgress(recordsAtStart_);

  uint8_t rc = ReadCompTran(OKVReadRecLO);
  if (rc == OKV_SUCCESS) {
    const bool totalizersOk = OutputTotalizerRecord();
    totalizersWritten_ = totalizersOk;
    conversionOk_ = conversionOk_ && totalizersOk;
    OpenLookupFiles();
    rc = Walk();
  }
  HideProgress();
  if (rc != OKV_RECORD_NOT_FOUND) {
    conversionOk_ = false;
    ReportEngine(Msg::WalkReadFailed, OKV_OP_READ_REC_NX, FileIndex::CompTran, rc, {recordNumber_});
  }
  CloseAfterWalk();
}

void ConversionRun::LogTrigger() {
  switch (options_.trigger) {
    case TQREAD_TRIGGER_DATA_DEPOT: Log(Msg::TriggerDataDepot); break;
    case TQREAD_TRIGGER_OPERATOR: Log(Msg::TriggerOperator); break;
    case TQREAD_TRIGGER_STARTUP: Log(Msg::TriggerStartup); break;
    default: Log(Msg::TriggerUnknown); break;
  }
}

bool ConversionRun::OpenCompTran() {
  const uint8_t rc = catalogue_->OpenCatalogueFile(FileIndex::CompTran);
  if (rc == OKV_SUCCESS) return true;
  errorSeen_ = true;
  if (rc == OKV_FILE_NOT_FOUND) {
    Log(Msg::CompTranNotFound, schema::FileNameOf(FileIndex::CompTran), rc);
  } else {
    ReportEngine(Msg::CompTranOpenFailed, OKV_OP_OPEN_FILE, FileIndex::CompTran, rc);
  }
  return false;
}

void ConversionRun::ReadOfficeConfig() {
  schema::OfficeConfigRecord record{};
  if (catalogue_->OpenCatalogueFile(FileIndex::CfgOfc) == OKV_SUCCESS &&
      OKVReadRec(Handle(FileIndex::CfgOfc), &record) == OKV_SUCCESS) {
    officeConfig_ = record;
  } else {
    officeConfig_ = schema::DefaultOfficeConfigRecord();
  }
}

std::string ConversionRun::DestinationPath() {
  if (options_.destinationFile != nullptr) {
    Log(Msg::DestinationFromCommandLine);
    return options_.destinationFile;
  }
  const std::string_view configured = schema::TextOf(officeConfig_.deliveryDestination);
  if (!configured.empty()) return std::string(configured);
  return catalogue_->Folder() + kDefaultDestination;
}

void ConversionRun::CountRecords() {
  uint32_t records = 0;
  uint32_t nodes = 0;
  const uint8_t rc = OKVNumRecords(Handle(FileIndex::CompTran), &records, &nodes);
  if (rc != OKV_SUCCESS) {
    ReportEngine(Msg::RecordCountFailed, OKV_OP_NUM_RECORDS, FileIndex::CompTran, rc);
    conversionOk_ = false;
    records = 0;
  }
  recordsAtStart_ = records;
}

void ConversionRun::ReadMainConfig() {
  if (!catalogue_->FileExists(FileIndex::Config)) {
    const schema::ConfigRecord defaults = schema::DefaultConfigRecord();
    const uint8_t rc = catalogue_->AddCatalogueRecord(FileIndex::Config, &defaults);
    if (rc != OKV_SUCCESS) {
      errorSeen_ = true;
      ReportEngine(Msg::ConfigCreateFailed, OKV_OP_CREATE_REC, FileIndex::Config, rc);
    } else {
      Log(Msg::ConfigCreated, schema::FileNameOf(FileIndex::Config));
    }
    return;
  }
  uint8_t rc = catalogue_->OpenCatalogueFile(FileIndex::Config);
  if (rc != OKV_SUCCESS) {
    errorSeen_ = true;
    ReportEngine(Msg::ConfigOpenFailed, OKV_OP_OPEN_FILE, FileIndex::Config, rc);
    return;
  }
  schema::ConfigRecord record{};
  rc = OKVReadRec(Handle(FileIndex::Config), &record);
  if (rc != OKV_SUCCESS) {
    config_ = schema::DefaultConfigRecord();
    errorSeen_ = true;
    ReportEngine(Msg::ConfigReadFailed, OKV_OP_READ_REC, FileIndex::Config, rc);
    return;
  }
  config_ = record;
}

// Lookups in files that are missing simply fail later; nothing here stops the run.
void ConversionRun::OpenLookupFiles() {
  const auto open = [this](FileIndex index) {
    const uint8_t rc = catalogue_->OpenCatalogueFile(index);
    if (rc != OKV_SUCCESS) ReportEngine(Msg::LookupOpenFailed, OKV_OP_OPEN_FILE, index, rc);
    return rc == OKV_SUCCESS;
  };
  open(FileIndex::Customer);
  if (open(FileIndex::TaxCode)) open(FileIndex::Tax);
}

void ConversionRun::CloseAfterWalk() {
  for (FileIndex index : {FileIndex::Customer, FileIndex::TaxCode, FileIndex::Tax, FileIndex::Config}) {
    CloseFile(index, Msg::CloseFailed);
  }
  file_.reset();
  CloseFile(FileIndex::CfgOfc, Msg::CloseFailed);
  // The totals leave only once their lines are in the file.
  if (!Office() && conversionOk_ && totalizersWritten_) EmptyTotals();
  CloseFile(FileIndex::Totals, Msg::CloseFailed);
  CloseFile(FileIndex::CompTran, Msg::CloseFailed);
}

void ConversionRun::EmptyTotals() {
  const uint16_t handle = Handle(FileIndex::Totals);
  if (handle == 0) return;
  schema::TotalizerRecord record{};
  uint8_t rc = OKVReadRecLO(handle, 0, &record);
  while (rc == OKV_SUCCESS && OKVDeleteRec(handle) == OKV_SUCCESS) rc = OKVReadRecNX(handle, 0, &record);
}

// The office keeps no parking file: what it could not convert stays in
// "CompTran.trn", so the file goes only when it is empty.
void ConversionRun::FinishOfficeRun() {
  if (processed_ != recordsAtStart_) {
    Log(Msg::OriginalCountMismatch, recordsAtStart_, schema::FileNameOf(FileIndex::CompTran), processed_);
    return;
  }
  if (!conversionOk_) return;
  const auto remove = [this](FileIndex index) {
    const uint8_t rc = catalogue_->DeleteCatalogueFile(index);
    if (rc != OKV_SUCCESS) Log(Msg::FileDeleteFailed, schema::FileNameOf(index), rc);
  };
  uint32_t remaining = 1;
  uint32_t nodes = 0;
  if (catalogue_->OpenCatalogueFile(FileIndex::CompTran) == OKV_SUCCESS &&
      OKVNumRecords(Handle(FileIndex::CompTran), &remaining, &nodes) == OKV_SUCCESS && remaining == 0) {
    remove(FileIndex::CompTran);
  }
  if (totalizersWritten_) remove(FileIndex::Totals);
}

// Files the office held open before the run stay open for it.
void ConversionRun::CloseFile(FileIndex index, Msg failure) {
  if (openBefore_[static_cast<size_t>(index)] || Handle(index) == 0) return;
  const uint8_t rc = catalogue_->CloseCatalogueFile(index);
  if (rc != OKV_SUCCESS) {
    errorSeen_ = true;
    ReportEngine(failure, OKV_OP_CLOSE_FILE, index, rc);
  }
}

void ConversionRun::CloseEverythingOpenedHere() {
  for (uint16_t i = 0; i < schema::kCatalogueSize; ++i) {
    if (!openBefore_[i]) catalogue_->CloseCatalogueFile(static_cast<FileIndex>(i));
  }
}

void ConversionRun::StartProgress(uint32_t records) {
  progressRange_ = records <= kProgressMaximum ? records : kProgressMaximum;
  recordsPerStep_ = records <= kProgressMaximum ? 1 : records / kProgressMaximum;
  progressPosition_ = 0;
  progressAccumulator_ = Office() ? 0 : 1;
  if (hooks_.progress) hooks_.progress(0, progressRange_);
}

// The stand-alone bar moves at most one step per group; the office's once per
// record consumed.
void ConversionRun::AdvanceProgress(uint32_t consumed) {
  progressAccumulator_ += consumed;
  uint32_t steps = 0;
  while (progressAccumulator_ >= recordsPerStep_ && (steps == 0 || Office())) {
    progressAccumulator_ -= recordsPerStep_;
    ++steps;
  }
  if (steps == 0) return;
  progressPosition_ = progressPosition_ + steps < progressRange_ ? progressPosition_ + steps : progressRange_;
  if (hooks_.progress) hooks_.progress(progressPosition_, progressRange_);
}

void ConversionRun::HideProgress() {
  if (hooks_.progress) hooks_.progress(0, 0);
}

void ConversionRun::ReportEngine(Msg id, unsigned operation, FileIndex file, uint8_t rc,
                                 std::initializer_list<MessageArg> extras) {
  const char* format = MessageFormat(variant_, id);
  if (format == nullptr) return;
  if (format == kStandardErrorLine) {
    char line[2000];
    hooks_.sink(OKVFormatError(rc, line, sizeof line, operation, schema::FileNameOf(file)));
    return;
  }
  std::vector<MessageArg> args;
  args.reserve(extras.size() + 2);
  args.emplace_back(schema::FileNameOf(file));
  args.insert(args.end(), extras.begin(), extras.end());
  args.emplace_back(rc);
  hooks_.sink(FormatMessage(format, args));
}

}  // namespace trk::tqread
