// Totalizer lines (the RAM card identity for the system definitions) and
// miscellaneous transaction lines (fees and sales that are not deliveries).
#include <string>

#include "tqload/conversion.h"

namespace trk::tqload {

namespace {

using schema::SetText;
using schema::TextOf;

constexpr uint32_t kRamCardField = 5;

}  // namespace

uint8_t Conversion::HandleTotalizerLine(const Field& field) {
  const bool corlan = config_.customFeature == schema::kFeatureCorlan;
  // 38 fields, 39 with the compliance charge, 42 under Corlan.
  const bool tooMany = (field.number == 39 && !corlan && !config_.complianceCharge) ||
                       (field.number == 40 && !corlan) || (field.number == 43 && corlan);
  if (field.number == kRamCardField) return StoreRamCardId(field.text);
  if (!tooMany) return kFieldOk;
  Log(Msg::TotalizerTooMany);
  return kTooManyFields;
}

uint8_t Conversion::StoreRamCardId(std::string_view text) {
  if (text.empty()) {
    Log(Msg::RamCardEmpty);
    return kRequiredEmpty;
  }
  const char* name = schema::FileNameOf(FileIndex::SysDefs);
  uint8_t rc = catalogue_.OpenOrCreateCatalogueFile(FileIndex::SysDefs);
  if (rc != OKV_SUCCESS) {
    Log(Msg::RamCardOpenFailed, name, rc);
    return rc;
  }
  const uint16_t handle = Handle(FileIndex::SysDefs);
  schema::SystemDefinitionsRecord definitions{};
  rc = OKVReadRec(handle, &definitions);
  if (rc == OKV_RECORD_NOT_FOUND) {
    definitions = {};
    rc = catalogue_.AddCatalogueRecord(FileIndex::SysDefs, &definitions);
    if (rc != OKV_SUCCESS) {
      Log(Msg::RamCardCreateDefaultFailed, name, rc);
      return rc;
    }
  } else if (rc != OKV_SUCCESS) {
    // Rewriting now would replace the ticket texts with an empty record.
    Log(Msg::RamCardReadFailed, name, rc);
    catalogue_.CloseCatalogueFile(FileIndex::SysDefs);
    return rc;
  }
  rc = ConvertText(text, definitions.ramCardId, 10);
  if (rc != kFieldOk) {
    Log(Msg::RamCardProblem, rc);
    return rc;
  }
  rc = OKVUpdateRec(handle, &definitions);
  if (rc != OKV_SUCCESS) Log(Msg::RamCardUpdateFailed, name, rc);
  const uint8_t closeRc = catalogue_.CloseCatalogueFile(FileIndex::SysDefs);
  if (closeRc != OKV_SUCCESS) Log(Msg::RamCardCloseFailed, name, closeRc);
  return rc != OKV_SUCCESS ? rc : closeRc;
}

uint8_t Conversion::MiscTransactionCodeField(std::string_view text) {
  misc_ = {};
  miscInProgress_ = false;
  if (text.empty()) {
    Log(Msg::MiscCodeEmpty);
    return kRequiredEmpty;
  }
  char code[9] = {};
  uint8_t rc = ConvertText(text, code, 8);
  if (rc != kFieldOk) {
    Log(Msg::MiscCodeProblem, rc);
    return rc;
  }
  const char* name = schema::FileNameOf(FileIndex::MiscTran);
  rc = catalogue_.OpenOrCreateCatalogueFile(FileIndex::MiscTran);
  if (rc != OKV_SUCCESS) {
    Log(Msg::MiscOpenFailed, name, rc);
    return rc;
  }
  constexpr uint16_t kCodeKey = 1;
  rc = OKVReadRecEQ(Handle(FileIndex::MiscTran), kCodeKey, code, &misc_);
  if (rc == OKV_RECORD_NOT_FOUND) {
    // The name never comes from the text file; the office edits it.
    misc_ = {};
    SetText(misc_.name, "MiscTran code " + std::string(TextOf(code)));
    SetText(misc_.code, TextOf(code));
    rc = catalogue_.AddCatalogueRecord(FileIndex::MiscTran, &misc_);
    if (rc != OKV_SUCCESS) {
      Log(Msg::MiscCreateFailed, name, TextOf(code), rc);
      return rc;
    }
    Log(Msg::MiscCreated, name, TextOf(code));
  } else if (rc != OKV_SUCCESS) {
    Log(Msg::MiscReadFailed, TextOf(code), name, rc);
    return rc;
  }
  miscInProgress_ = true;
  return kFieldOk;
}

uint8_t Conversion::HandleMiscTransactionLine(const Field& field) {
  const std::string_view text = field.text;
  const uint32_t n = field.number;
  if (n == 4) return MiscTransactionCodeField(text);
  if (!miscInProgress_) return kFieldOk;
  if (n == 5) {
    if (text.empty()) {
      Log(Msg::MiscFlatEmpty);
      return kRequiredEmpty;
    }
    double charge = 0;
    const uint8_t rc = ConvertDouble(text, -999.99, 999.99, charge);
    if (rc != kFieldOk) Log(Msg::MiscFlatProblem, rc);
    misc_.charge = rc == kFieldOk ? charge : 0;
    return rc;
  }
  if (n == 6) {
    if (text.empty()) {
      Log(Msg::MiscUnitPriceEmpty);
      return kRequiredEmpty;
    }
    double price = 0;
    const uint8_t rc = ConvertDouble(text, -99.9999, 99.9999, price);
    if (rc != kFieldOk) Log(Msg::MiscUnitPriceProblem, rc);
    misc_.unitPrice = rc == kFieldOk ? price : -99.9999;
    return rc;
  }
  if (n <= 15) {
    const uint8_t rc = ConvertTaxValue(static_cast<int>(n) - 6, text, misc_.taxCode, TaxRangeRule::ByDefinition);
    if (n < 15) return rc;
    const uint8_t updateRc = OKVUpdateRec(Handle(FileIndex::MiscTran), &misc_);
    if (updateRc != OKV_SUCCESS) Log(Msg::MiscUpdateFailed, schema::FileNameOf(FileIndex::MiscTran), updateRc);
    return rc != kFieldOk ? rc : updateRc;
  }
  Log(Msg::MiscTooMany);
  return kTooManyFields;
}

}  // namespace trk::tqload
