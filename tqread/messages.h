// The conversion's messages: one table with the stand-alone converter's and the
// office program's wording of each message, filled in by the shared formatter
// (schema/message_format.h), which takes texts and numbers from separate queues so
// a wording that drops or adds the file name still gets the right number.
// A null wording means the variant says nothing; kStandardErrorLine means the
// engine's standard error line ("%s Error %u on %s: %s").
#pragma once

#include <cstdint>

#include "schema/message_format.h"
#include "tqread/tqread.h"

namespace trk::tqread {

enum class Variant : uint8_t { Standalone = TQREAD_VARIANT_STANDALONE, Office = TQREAD_VARIANT_OFFICE };

enum class Msg : uint16_t {
  // The run
  TriggerDataDepot, TriggerOperator, TriggerStartup, TriggerUnknown, DatabaseFolder, OutputFile,
  DestinationFromCommandLine, CompTranNotFound, CompTranOpenFailed, CompTempPresent, CopyFromCompTemp,
  CompTempDeleted, InventoryStart, InventoryType, InventorySaleNumber, OutputOpenFailed, RecordCountFailed,
  ConfigOpenFailed, ConfigReadFailed, ConfigCreateFailed, ConfigCreated, ProgressInit, LookupOpenFailed,
  InvalidRecordType, WriteFailed, FlushFailed, WalkReadFailed, RecordReadBeforeDeleteFailed, RecordDeleteFailed,
  SalePartlyDeleted, CloseFailed, GenerationComplete, CopyToCompTemp, ClosingCompTemp, OriginalCountMismatch,
  FileDeleteFailed,
  // Groups of records
  TankStart, FirstTank, SecondTank, ThirdTank, BreakOnTank, BreakOnSummary, SummaryFound, PaymentFound,
  BreakOnPayment, BreakOnOther, SummaryMissing, ProcessingFirstTank, ProcessingSecondTank, ProcessingThirdTank,
  DeletingTank, TankEnd, SummaryStart, SummaryBuffer, SummaryEnd, PaymentStart, PaymentEnd, BufferTrace,
  // Lookups in the setup files
  TaxCodeLookupFailed, TaxLookupFailed, TotalsLookupFailed, ChargeTaxCodeLookupFailed, ChargeTaxLookupFailed,
  // Totalizer lines
  TotalizerStart, TotalizerEnd, TotalsOpenFailed, TotalsReadFailed, TotalizerWriteFailed, TotalizerFlushFailed,
  NextShiftReadFailed, FirstRecordAfterTotalizers, TotalsCloseFailed, TotalizerTrace,
  Count
};

inline constexpr size_t kMessageCount = static_cast<size_t>(Msg::Count);

inline constexpr char kStandardErrorLine[] = "%s Error %u on %s: %s";

// The wording of a message in a variant: null when the variant says nothing,
// kStandardErrorLine for the engine's standard error line.
const char* MessageFormat(Variant variant, Msg id);

using schema::FormatMessage;
using schema::MessageArg;

}  // namespace trk::tqread
