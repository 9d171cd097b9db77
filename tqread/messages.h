// The conversion's messages: one table with the stand-alone converter's and the
// office program's wording of each message, and the formatter that fills them in.
//
// Formats use %s for texts and %u, %d, %ld, %hu and %x for numbers. Texts and
// numbers are taken from two separate queues in order, so a wording that drops or
// adds the file name still gets the right number. A specifier without an argument
// prints nothing; nothing is read out of bounds, whatever a format holds.
// A null wording means the variant says nothing; kStandardErrorLine means the
// engine's standard error line ("%s Error %u on %s: %s").
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

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

// One argument of a message: a text or a number.
struct MessageArg {
  MessageArg(std::string_view text) : isText(true), text(text) {}  // NOLINT: implicit by design
  MessageArg(const char* text) : isText(true), text(text ? text : "") {}
  MessageArg(const std::string& text) : isText(true), text(text) {}
  template <typename Number, typename = std::enable_if_t<std::is_integral_v<Number>>>
  MessageArg(Number number) : isText(false), number(static_cast<int64_t>(number)) {}

  bool isText;
  std::string_view text;
  int64_t number = 0;
};

std::string FormatMessage(const char* format, std::span<const MessageArg> args);
inline std::string FormatMessage(const char* format, std::initializer_list<MessageArg> args) {
  return FormatMessage(format, std::span<const MessageArg>(args.begin(), args.size()));
}

}  // namespace trk::tqread
