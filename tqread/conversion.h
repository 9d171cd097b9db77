// One TQRead conversion run (internal to the library; tqread.h is the interface).
//
// A ConversionRun reaches the data files through a Catalogue, reads the
// completed transactions one group of records at a time, builds the group's
// delivery text, makes the text durable and only then deletes the group's
// records. The work is split by concern:
//   run.cc        the steps around the walk: lock, files, configuration, closing
//   walk.cc       the record walk, grouping, writing and deleting
//   queue.cc      returning parked records from "CompTemp.trn" and parking them
//   lines.cc      the delivery, charge, sale and payment lines
//   totalizers.cc the totalizer lines
// REQUIRES: one thread per run; the run holds "ProcessControl" throughout.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/catalogue.h"
#include "schema/comptran.h"
#include "schema/records.h"
#include "tqread/delivery_file.h"
#include "tqread/messages.h"
#include "tqread/tqread.h"

namespace trk::tqread {

class LineBuilder;
using schema::CompletedTransaction;
using schema::FileIndex;

struct RunHooks {
  std::function<void(const std::string&)> sink;                  // one message, no line end
  std::function<void(uint32_t position, uint32_t range)> progress;  // may be empty
  DeliveryFileOpener openDeliveryFile;                            // empty: OpenDeliveryFile
};

class ConversionRun {
 public:
  // The options must have a known variant (TQReadRun checks it).
  ConversionRun(const TQReadOptions& options, RunHooks hooks);
  ConversionRun(const ConversionRun&) = delete;
  ConversionRun& operator=(const ConversionRun&) = delete;

  TQReadOutcome Run();

 private:
  // A record as read, with its address in its file.
  struct ReadRecord {
    uint32_t address = 0;
    CompletedTransaction record{};
  };
  // What one handler made of the records from the current one on.
  struct Group {
    std::string text;
    std::vector<ReadRecord> converted;  // in file order; deleted once `text` is durable
    uint32_t consumed = 1;              // records the group took, for numbering and progress
    uint32_t resumeAddress = 0;         // the group's last record; the walk goes on after it
  };
  enum class Commit { Written, WriteFailed, FlushFailed };

  // run.cc
  void ConvertIntoDestination();
  void LogTrigger();
  bool OpenCompTran();
  void ReadOfficeConfig();
  std::string DestinationPath();
  void CountRecords();
  void ReadMainConfig();
  void OpenLookupFiles();
  void CloseAfterWalk();
  void EmptyTotals();
  void FinishOfficeRun();
  void CloseFile(FileIndex index, Msg failure);
  void CloseEverythingOpenedHere();
  void StartProgress(uint32_t records);
  void AdvanceProgress(uint32_t consumed);
  void HideProgress();

  // walk.cc
  uint8_t Walk();
  Group HandleCurrentRecord();
  Group HandleTankGroup();
  Group HandleSummary();
  Group HandlePayment();
  Group DropCurrentRecord(std::string_view officeText);
  bool CommitRecordText(const std::string& text);
  bool DeleteConverted(const Group& group, uint64_t sizeBeforeText);
  Commit CommitText(const std::string& text);
  uint8_t ReadCompTran(uint8_t (*read)(uint16_t, uint16_t, void*));
  void ReportReadFailure(unsigned operation, uint8_t rc);

  // queue.cc
  void ReturnParkedRecords();
  void ParkUnconvertedRecords();
  bool EnsureCompTempOpen();
  std::vector<ReadRecord> ReadWholeFile(uint16_t handle);
  std::vector<ReadRecord> ContinuationsOf(uint16_t handle, const std::vector<ReadRecord>& parked);
  static bool MoveRecord(uint16_t from, const ReadRecord& record, uint16_t to);
  static uint8_t DeleteAt(uint16_t handle, const ReadRecord& record);
  void LogInventory();

  // lines.cc
  void AppendDeliveryLine(std::string& text, const schema::TankDeliveryRecord& tank,
                          const schema::DeliverySummaryRecord& summary, const schema::ReceivedPaymentRecord& payment,
                          bool paymentJoined, bool firstTank);
  void AppendPaymentFields(LineBuilder& line, const schema::TankDeliveryRecord& tank,
                           const schema::DeliverySummaryRecord& summary, const schema::ReceivedPaymentRecord& payment,
                           bool paymentJoined, bool firstTank);
  void AppendTankGroupChargeLines(std::string& text, const schema::DeliverySummaryRecord& summary,
                                  const schema::TankDeliveryRecord& lastTank);
  // Returns whether the payment went into the line of charge slot 0.
  bool AppendSaleLines(std::string& text, const schema::DeliverySummaryRecord& summary,
                       const schema::ReceivedPaymentRecord* payment);
  void AppendPaymentLine(std::string& text, const schema::ReceivedPaymentRecord& payment);
  // Tax fields of a delivery (with its amounts) or of a charge slot (amounts null).
  void AppendTaxFields(LineBuilder& line, std::string_view taxCode, const schema::PackedF64* taxAmounts);
  void AppendTaxRates(LineBuilder& line, const schema::TaxCodeRecord& taxCode, int positions);
  void AppendChargeRateFields(LineBuilder& line, std::string_view taxCode);
  std::optional<double> ChargeTaxRate(const schema::MiscCharge& charge);
  double ChargeSum(const schema::DeliverySummaryRecord& summary, bool firstTank) const;
  const schema::TotalizerRecord& TotalsOfProduct(std::string_view productCode);
  bool CustomerKnown(std::string_view accessNumber);
  // Lookups: the engine's result, or OKV_OPEN_ERROR when the file is not open.
  uint8_t ReadTaxCode(std::string_view code, schema::TaxCodeRecord& record);
  uint8_t ReadTax(std::string_view reference, schema::TaxRecord& record);
  // The same, reporting a failure other than OKV_OPEN_ERROR; true when found.
  bool LookUpTaxCode(std::string_view code, schema::TaxCodeRecord& record);
  bool LookUpTax(std::string_view reference, schema::TaxRecord& record);
  void Trace(int place, const std::string& text);

  // totalizers.cc
  bool OutputTotalizerRecord();
  void PositionOnNextShift(std::string_view shiftDate);

  // Messages
  // Arguments are taken by value: record fields are unaligned members.
  template <typename... Args>
  void Log(Msg id, Args... args) {
    const char* format = MessageFormat(variant_, id);
    if (format != nullptr) hooks_.sink(FormatMessage(format, {MessageArg(args)...}));
  }
  // An engine failure: the standard error line (stand-alone) or the office's
  // wording, whose arguments are the file name, the extras and the result.
  void ReportEngine(Msg id, unsigned operation, FileIndex file, uint8_t rc,
                    std::initializer_list<MessageArg> extras = {});

  uint16_t Handle(FileIndex index) const { return catalogue_->Handle(index); }
  bool Office() const { return variant_ == Variant::Office; }

  TQReadOptions options_;
  Variant variant_;
  RunHooks hooks_;
  std::unique_ptr<schema::Catalogue> ownCatalogue_;
  schema::Catalogue* catalogue_;
  std::array<bool, schema::kCatalogueSize> openBefore_{};

  schema::ConfigRecord config_;
  schema::OfficeConfigRecord officeConfig_;
  std::unique_ptr<DeliveryFile> file_;

  CompletedTransaction current_{};  // the record the walk stands on
  uint32_t currentAddress_ = 0;
  schema::TotalizerRecord totals_{};  // the last "Totals.trn" record read

  bool conversionOk_ = true;
  bool errorSeen_ = false;
  bool totalizersWritten_ = false;
  int64_t recordNumber_ = 1;
  uint32_t recordsAtStart_ = 0;
  uint32_t processed_ = 0;

  uint32_t progressRange_ = 0;
  uint32_t progressPosition_ = 0;
  uint32_t recordsPerStep_ = 1;
  uint32_t progressAccumulator_ = 0;
};

}  // namespace trk::tqread
