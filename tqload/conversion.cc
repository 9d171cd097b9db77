// The line level of the conversion: record types, field counts, and handing each
// field to the handler of its record type.
#include "tqload/conversion.h"

namespace trk::tqload {

namespace {

bool IsDispatchLineType(uint8_t type) {
  return (type >= 2 && type <= 5) || (type >= 25 && type <= 28) || (type >= 43 && type <= 46);
}

bool IsCompletedDeliveryType(uint8_t type) {
  switch (type) {
    case 6: case 7: case 8: case 16: case 17: case 29: case 30: case 47: case 48:
      return true;
    default:
      return false;
  }
}

constexpr uint8_t kMaxRecordType = 48;
constexpr uint8_t kMaxNumericFields = 35;
constexpr uint8_t kMaxAlphaFields = 21;
constexpr uint8_t kMinTaxCodeFields = 2;

}  // namespace

Conversion::Conversion(schema::Catalogue& catalogue, Variant variant, Sink sink)
    : catalogue_(catalogue), variant_(variant), sink_(std::move(sink)) {}

void Conversion::Emit(const std::string& message, bool present) {
  if (!present || !sink_) return;
  if (variant_ == Variant::Console) {
    sink_(message);
    return;
  }
  // A list box shows one line per entry.
  size_t start = 0;
  for (size_t end; (end = message.find('\n', start)) != std::string::npos; start = end + 1) {
    sink_(std::string_view(message).substr(start, end - start));
  }
  sink_(std::string_view(message).substr(start));
}

uint8_t Conversion::RewriteConfig() { return OKVUpdateRec(Handle(FileIndex::Config), &config_); }

void Conversion::OnLineReset() { recordType_ = 0; }

void Conversion::OnField(const RawField& raw) {
  line_ = raw.line;
  switch (raw.number) {
    case 1:
      HandleRecordTypeField(raw);
      return;
    case 2:
      HandleNumericCountField(raw);
      return;
    case 3:
      HandleAlphaCountField(raw);
      return;
    default:
      break;
  }
  if (recordType_ == 0) return;  // a line without a valid record type feeds no handler
  Field field{raw.text, raw.number, false, recordType_};
  if (raw.end != FieldEnd::Comma && IsDispatchLineType(recordType_)) {
    field.number = kEndOfRecordField;
    field.endOfRecord = true;
  }
  if (raw.overflowed) {
    Log(Msg::FieldContents, raw.text, line_, static_cast<int>(field.number), kOutOfRange);
    // The line's records are still finished on its last field, without the refused text.
    if (!field.endOfRecord) return;
    field.text = {};
  }
  const uint8_t rc = HandleRecordField(field);
  if (rc != kFieldOk) Log(Msg::FieldContents, field.text, line_, static_cast<int>(field.number), rc);
}

void Conversion::HandleRecordTypeField(const RawField& raw) {
  if (raw.text.empty()) {
    SetErrorFlag();
    Log(Msg::NoRecordType, line_);
    return;
  }
  long long value = 0;
  uint8_t rc = raw.overflowed ? kOutOfRange : ConvertInteger(raw.text, value);
  if (rc == kFieldOk && (value < 1 || value > kMaxRecordType)) rc = kOutOfRange;
  if (rc != kFieldOk) {
    Log(Msg::RecordTypeProblem, line_, raw.text, rc);
    SetErrorFlag();
    return;
  }
  recordType_ = static_cast<uint8_t>(value);
  // The dispatch record format follows the kind of dispatch lines the file carries.
  if (recordType_ >= 2 && recordType_ <= 5 && config_.dispatchRecordFormat == 1) SetDispatchRecordFormat(2);
  if (recordType_ >= 43 && recordType_ <= 46 && config_.dispatchRecordFormat == 2) SetDispatchRecordFormat(1);
}

void Conversion::SetDispatchRecordFormat(uint8_t format) {
  config_.dispatchRecordFormat = format;
  const uint8_t rc = RewriteConfig();
  if (rc != OKV_SUCCESS) {
    Log(Msg::RecordFormatUpdateFailed, schema::FileNameOf(FileIndex::Config), rc);
    SetErrorFlag();
  }
}

void Conversion::HandleNumericCountField(const RawField& raw) {
  if (raw.text.empty()) {
    Log(Msg::NumericCountEmpty, line_);
    SetErrorFlag();
    return;
  }
  long long value = 0;
  uint8_t rc = raw.overflowed ? kOutOfRange : ConvertInteger(raw.text, value);
  if (rc == kFieldOk && (value < 0 || value > kMaxNumericFields)) rc = kOutOfRange;
  if (rc != kFieldOk) {
    Log(Msg::NumericCountProblem, line_, raw.text, rc);
    SetErrorFlag();
  }
}

void Conversion::HandleAlphaCountField(const RawField& raw) {
  const bool taxCodeLine = recordType_ == 13;
  if (taxCodeLine) announcedTaxCodeFields_ = 0;
  if (raw.text.empty()) {
    Log(Msg::AlphaCountEmpty, line_);
    SetErrorFlag();
    return;
  }
  const long long minimum = taxCodeLine ? kMinTaxCodeFields : 0;
  long long value = 0;
  uint8_t rc = raw.overflowed ? kOutOfRange : ConvertInteger(raw.text, value);
  if (rc == kFieldOk && (value < minimum || value > kMaxAlphaFields)) rc = kOutOfRange;
  if (rc != kFieldOk) {
    if (taxCodeLine) {
      Log(Msg::TaxFieldCountInvalid, line_, raw.text, schema::FileNameOf(FileIndex::TaxCode), rc);
    } else {
      Log(Msg::AlphaCountProblem, line_, raw.text, rc);
    }
    SetErrorFlag();
    return;
  }
  if (taxCodeLine) announcedTaxCodeFields_ = static_cast<uint32_t>(value);
}

void Conversion::EnsureImportTaxStructure() {
  if (config_.taxStructure == schema::kImportTaxStructures) return;
  config_.taxStructure = schema::kImportTaxStructures;
  const uint8_t rc = RewriteConfig();
  if (rc != OKV_SUCCESS) Log(Msg::TaxStructureUpdateFailed, schema::FileNameOf(FileIndex::Config), rc);
}

uint8_t Conversion::HandleRecordField(const Field& field) {
  const uint8_t type = field.recordType;
  if (IsCompletedDeliveryType(type)) {
    Log(Msg::CompletedDeliveryRecord, line_);
    SetErrorFlag();
    return kFieldOk;
  }
  switch (type) {
    case 1:
      return HandleTotalizerLine(field);
    case 2: case 3: case 4: case 5: case 43: case 44: case 45: case 46:
      if (config_.customFeature == schema::kFeatureRidgeway) return HandleRidgewayLayout(field);
      if (config_.customFeature == schema::kFeatureCorlan) return HandleCorlanLayout(field);
      return HandleStandardLayout(field);
    case 25: case 26: case 27: case 28:
      return HandleHaldenPryceLayout(field);
    case 9:
      return HandleBasePriceLine(field);
    case 10:
      return HandleDiscountScheduleLine(field);
    case 11:
      EnsureImportTaxStructure();
      taxOnTaxLineSeen_ = true;
      return HandleTaxOnTaxLine(field);
    case 12:
      EnsureImportTaxStructure();
      return HandleTaxLine(field);
    case 13:
      EnsureImportTaxStructure();
      return HandleTaxCodeLine(field);
    case 15: case 18:
      return kFieldOk;
    case 20:
      return HandleMiscTransactionLine(field);
    default:
      Log(Msg::UnrecognizedRecordType, type, line_);
      SetErrorFlag();
      return kFieldOk;
  }
}

void Conversion::CloseLogged(FileIndex index, Msg failure) {
  if (Handle(index) == 0) return;
  const uint8_t rc = catalogue_.CloseCatalogueFile(index);
  if (rc != OKV_SUCCESS) Log(failure, schema::FileNameOf(index), rc);
}

}  // namespace trk::tqload
