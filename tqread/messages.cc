// The message table. The stand-alone converter's wordings are its log's; the
// office program lists what an operator needs (no trace lines) in its own words.
#include "tqread/messages.h"

#include <array>
#include <charconv>

namespace trk::tqread {

namespace {

struct Entry {
  Msg id;
  const char* standalone;
  const char* office;
};

constexpr const char* kStd = kStandardErrorLine;

constexpr Entry kEntries[] = {
    {Msg::TriggerDataDepot, "Conversion request by Data Depot...", nullptr},
    {Msg::TriggerOperator, "Conversion request by operator...", nullptr},
    {Msg::TriggerStartup, "Conversion request during application startup...", nullptr},
    {Msg::TriggerUnknown, "Conversion request from unknown source...", nullptr},
    {Msg::DatabaseFolder, "%s", nullptr},
    {Msg::OutputFile, nullptr, "Output file: %s"},
    {Msg::DestinationFromCommandLine, "Destination file was passed via the command line.", nullptr},
    {Msg::CompTranNotFound, "%s was not found in this folder.", "Could not open %s. rc=%u"},
    {Msg::CompTranOpenFailed, kStd, "Could not open %s. rc=%u"},
    {Msg::CompTempPresent, "Comptemp file present.", nullptr},
    {Msg::CopyFromCompTemp, "Copying over record type %x from CompTemp to CompTran file.", nullptr},
    {Msg::CompTempDeleted, "Deleted the CompTemp file.", nullptr},
    {Msg::InventoryStart, "Logging All Records Found in CompTran File\n", nullptr},
    {Msg::InventoryType, "Found Record Type: %d", nullptr},
    {Msg::InventorySaleNumber, "Found Summary Sale Number: %d", nullptr},
    {Msg::OutputOpenFailed, "The output file could not be opened. File conversion has been aborted.",
     "The output file could not be opened. TQRead file conversion has been aborted."},
    {Msg::RecordCountFailed, kStd, "Could not read number of records in %s. rc=%u"},
    {Msg::ConfigOpenFailed, kStd, "Could not open %s. rc=%u"},
    {Msg::ConfigReadFailed, kStd, "Could not read %s record. rc=%u"},
    {Msg::ConfigCreateFailed, kStd, "%s was not found. Could not create a default record. rc=%u"},
    {Msg::ConfigCreated, "%s was not found, so a file with a default record in it was created.",
     "%s was not found, so a file with a default record in it was created."},
    {Msg::ProgressInit, "Initializing Progress Bar...", nullptr},
    {Msg::LookupOpenFailed, kStd, "Could not open %s. rc=%u"},
    {Msg::InvalidRecordType, "Record #%ld is an invalid record type: %u", "Record #%ld is an invalid record type: %u"},
    {Msg::WriteFailed, "Could not write record information to text file for record #%ld.",
     "Could not write record information to text file for record #%ld."},
    {Msg::FlushFailed, "Could not flush buffer to file for record #%ld.",
     "Could not flush buffer to file for record #%ld."},
    {Msg::WalkReadFailed, kStd, "Could not read record #%ld. rc=%u"},
    {Msg::RecordReadBeforeDeleteFailed, kStd, "Could not read previous record from %s prior to deletion. rc=%u"},
    {Msg::RecordDeleteFailed, kStd, "Could not delete record from %s. rc=%u"},
    {Msg::SalePartlyDeleted,
     "The text of record #%ld and the records before it of its sale was written, but not all of them could be "
     "deleted from %s; the rest will be converted again.",
     "The text of record #%ld and the records before it of its sale was written, but not all of them could be "
     "deleted from %s; the rest will be converted again."},
    {Msg::CloseFailed, kStd, "Error occurred on closing %s file, rc = %u"},
    {Msg::GenerationComplete, "TRK TQRead file generation complete.", "TRK TQRead file generation complete."},
    {Msg::CopyToCompTemp, "Copying over record type %x from CompTran to CompTemp file.", nullptr},
    {Msg::ClosingCompTemp, "Closing CompTemp file", nullptr},
    {Msg::OriginalCountMismatch, nullptr, "%ld records were originally in %s. Only %ld records were processed."},
    {Msg::FileDeleteFailed, nullptr, "Could not delete %s. rc=%u"},

    {Msg::TankStart, "START: ProcessDeliveryTank", nullptr},
    {Msg::FirstTank, "FirstTank CompTran RecType %x", nullptr},
    {Msg::SecondTank, "SecondTank CompTran RecType %x", nullptr},
    {Msg::ThirdTank, "ThirdTank CompTran RecType %x", nullptr},
    {Msg::BreakOnTank, "DELTRAN: Breaking out of CompTran loop", nullptr},
    {Msg::BreakOnSummary, "DELSUM: Breaking out of CompTran loop", nullptr},
    {Msg::SummaryFound, "Summary Found NumRecords %x", nullptr},
    {Msg::PaymentFound, "Payment Found NumRecords %x", nullptr},
    {Msg::BreakOnPayment, "PAYMENT: Breaking out of CompTran loop", nullptr},
    {Msg::BreakOnOther, "DEFAULT: Breaking out of CompTran loop", nullptr},
    {Msg::SummaryMissing, "CompTran.trn delivery summary record was missing.",
     "CompTran.trn delivery summary record was missing."},
    {Msg::ProcessingFirstTank, "Processing firstTank.", nullptr},
    {Msg::ProcessingSecondTank, "Processing secondTank.", nullptr},
    {Msg::ProcessingThirdTank, "Processing thirdTank.", nullptr},
    {Msg::DeletingTank, "Deleting processed CompTran Date %s", nullptr},
    {Msg::TankEnd, "END: ProcessDeliveryTank", nullptr},
    {Msg::SummaryStart, "START: ProcessDeliverySummary", nullptr},
    {Msg::SummaryBuffer, "Summary Buffer %s Size %d", nullptr},
    {Msg::SummaryEnd, "END: ProcessDeliverySummary", nullptr},
    {Msg::PaymentStart, "START: ProcessReceivePayment", nullptr},
    {Msg::PaymentEnd, "END: ProcessReceivePayment", nullptr},
    {Msg::BufferTrace, "%d : Buffer %s Size %d", nullptr},

    {Msg::TaxCodeLookupFailed, kStd, "Could not read %s record for tax code %s. rc = %u"},
    {Msg::TaxLookupFailed, kStd, "Could not read %s record for tax reference %s. rc = %u"},
    {Msg::TotalsLookupFailed, kStd, "Could not read %s record for product %s. rc = %u"},
    {Msg::ChargeTaxCodeLookupFailed, "Could not read %s record for miscellaneous charge. rc=%u TaxCode=%s",
     "Could not read %s record for miscellaneous charge. rc=%u TaxCode=%s"},
    {Msg::ChargeTaxLookupFailed, "Could not read %s record for miscellaneous charge. rc=%u TaxCode=%s",
     "Could not read %s record for miscellaneous charge. rc=%u Tax=%s"},

    {Msg::TotalizerStart, "START: OutputTotalizerRecord.", nullptr},
    {Msg::TotalizerEnd, "END: OutputTotalizerRecord.", nullptr},
    {Msg::TotalsOpenFailed, kStd, "Could not open %s file. rc=%u"},
    {Msg::TotalsReadFailed, kStd, "Could not read %s record. rc=%u"},
    {Msg::TotalizerWriteFailed, "Could not write record information to text file for the totalizer record.",
     "Could not write totalizer record information to text file."},
    {Msg::TotalizerFlushFailed, "Could not flush the buffer to file for the totalizer record.",
     "Could not flush buffer to file for totalizer record."},
    {Msg::NextShiftReadFailed, kStd, "Could not read next shift's beginning date and time. rc=%u"},
    {Msg::FirstRecordAfterTotalizers, kStd,
     "Could not read first CompTran record after formatting totalizer record(s). rc=%u"},
    {Msg::TotalsCloseFailed, nullptr, "Could not close %s file. rc=%u"},
    {Msg::TotalizerTrace, "%d: Buffer %s Size %d", nullptr},
};

struct Tables {
  std::array<const char*, kMessageCount> standalone{};
  std::array<const char*, kMessageCount> office{};
};

constexpr Tables BuildTables() {
  Tables tables;
  for (const Entry& entry : kEntries) {
    tables.standalone[static_cast<size_t>(entry.id)] = entry.standalone;
    tables.office[static_cast<size_t>(entry.id)] = entry.office;
  }
  return tables;
}

constexpr bool EveryMessageListedOnce() {
  std::array<int, kMessageCount> seen{};
  for (const Entry& entry : kEntries) ++seen[static_cast<size_t>(entry.id)];
  for (int count : seen) {
    if (count != 1) return false;
  }
  return true;
}
static_assert(EveryMessageListedOnce());

constexpr Tables kTables = BuildTables();


}  // namespace

const char* MessageFormat(Variant variant, Msg id) {
  const size_t index = static_cast<size_t>(id);
  if (index >= kMessageCount) return nullptr;
  return variant == Variant::Office ? kTables.office[index] : kTables.standalone[index];
}


}  // namespace trk::tqread
