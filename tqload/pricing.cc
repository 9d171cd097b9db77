// Prices, taxes and discounts: the tax configuration, shared Tax and TaxCode
// records built from the tax values of priced lines, and the setup lines for
// base prices, discount schedules, taxes and tax codes.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "tqload/conversion.h"
#include "tqlib/tqlib.h"

namespace trk::tqload {

namespace {

using schema::SetText;
using schema::TextOf;

constexpr size_t kCodeMax = 8;
constexpr uint32_t kLargestCodeNumber = 99999999;  // eight digits fill a code field
constexpr double kMaxLevelByCode[] = {9999999.99, 9999999.9, 9999999};
constexpr uint32_t kPositionMaskAll = (1u << 19) - 1;  // positions 1 to 19

// A reference or code that reads as a decimal number.
bool DecimalNumber(std::string_view text, uint32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return true;
}

// The taxes that a generated tax-on-tax applies to, by its position on the line.
uint32_t GeneratedTaxOnTaxMask(uint8_t structure, int position) {
  if (position == 5) return 15;
  if (position == 6) return structure == schema::kCanadian ? 15 : structure == schema::kCanadianCarbon ? 14 : 0;
  if (position == 8) return structure == schema::kCanadian ? 31 : structure == schema::kCanadianCarbon ? 30 : 0;
  return 0;
}

// Base price lines range-check tax values by position, not by tax definition.
bool PercentByPosition(int position) {
  return position == 1 || position == 3 || position == 5 || position == 6 || position == 8;
}

bool PercentByType(uint8_t type) { return type != schema::kTaxPerUnit && type != schema::kTaxSurcharge; }

bool SameReferences(const schema::TaxCodeRecord& a, const schema::TaxCodeRecord& b) {
  return std::memcmp(a.reference, b.reference, sizeof a.reference) == 0;
}

bool SameTax(const schema::TaxRecord& a, const schema::TaxRecord& b) {
  const double rateA = a.rate;
  const double rateB = b.rate;
  return a.type == b.type && rateA == rateB && a.taxOnTaxMask == b.taxOnTaxMask && TextOf(a.label) == TextOf(b.label);
}

template <typename Record>
Msg AllocationMessage(const std::vector<Record>& list, Msg first, Msg second, Msg other) {
  return list.empty() ? first : list.size() == 1 ? second : other;
}

}  // namespace

void Conversion::CreateDefaultTaxConfiguration() {
  taxConfig_ = schema::DefaultTaxConfigRecord(config_.taxStructure);
  const uint8_t rc = catalogue_.AddCatalogueRecord(FileIndex::CfgTax, &taxConfig_);
  if (rc != OKV_SUCCESS) {
    SetErrorFlag();
    Log(Msg::DefaultTaxConfigFailed, rc);
  }
}

void Conversion::PrepareTaxFiles() {
  nextTaxReference_ = 1000;
  nextTaxCode_ = 100;
  taxList_.clear();
  taxCodeList_.clear();
  const bool usable = catalogue_.FileExists(FileIndex::Tax) && catalogue_.FileExists(FileIndex::TaxCode) &&
                      catalogue_.OpenCatalogueFile(FileIndex::Tax) == OKV_SUCCESS &&
                      catalogue_.OpenCatalogueFile(FileIndex::TaxCode) == OKV_SUCCESS;
  if (!usable) {
    struct Step {
      FileIndex index;
      bool create;
      Msg failure;
    };
    const Step steps[] = {
        {FileIndex::Tax, false, Msg::DeleteTaxFileFailed},
        {FileIndex::Tax, true, Msg::CreateTaxFileFailed},
        {FileIndex::TaxCode, false, Msg::DeleteTaxCodeFileFailed},
        {FileIndex::TaxCode, true, Msg::CreateTaxCodeFileFailed},
    };
    for (const Step& step : steps) {
      const uint8_t rc = step.create ? catalogue_.OpenOrCreateCatalogueFile(step.index)
                                     : catalogue_.DeleteCatalogueFile(step.index);
      if (rc != OKV_SUCCESS) {
        SetErrorFlag();
        Log(step.failure, rc);
        return;
      }
    }
  }
  uint8_t rc = OKVSetSafeWrites(Handle(FileIndex::Tax), 0);
  if (rc != OKV_SUCCESS) Log(Msg::TaxSafeWritesFailed, rc);
  rc = OKVSetSafeWrites(Handle(FileIndex::TaxCode), 0);
  if (rc != OKV_SUCCESS) Log(Msg::TaxCodeSafeWritesFailed, rc);
  if (usable) LoadTaxLists();
}

uint8_t Conversion::LoadTaxLists() {
  const uint16_t taxHandle = Handle(FileIndex::Tax);
  schema::TaxRecord tax{};
  for (uint8_t rc = OKVReadRecLO(taxHandle, 0, &tax); rc == OKV_SUCCESS; rc = OKVReadRecNX(taxHandle, 0, &tax)) {
    try {
      RememberTax(tax);
    } catch (const std::bad_alloc&) {
      SetErrorFlag();
      Log(Msg::AllocTax);
      return OKV_NO_MEMORY;
    }
  }
  const uint16_t codeHandle = Handle(FileIndex::TaxCode);
  schema::TaxCodeRecord code{};
  for (uint8_t rc = OKVReadRecLO(codeHandle, 0, &code); rc == OKV_SUCCESS; rc = OKVReadRecNX(codeHandle, 0, &code)) {
    try {
      RememberTaxCode(code);
    } catch (const std::bad_alloc&) {
      SetErrorFlag();
      Log(Msg::AllocTaxCode);
      return OKV_NO_MEMORY;
    }
  }
  return OKV_SUCCESS;
}

void Conversion::RememberTax(const schema::TaxRecord& tax) {
  const auto same = std::find_if(taxList_.begin(), taxList_.end(),
                                 [&tax](const schema::TaxRecord& known) { return TextOf(known.reference) == TextOf(tax.reference); });
  if (same != taxList_.end()) {
    *same = tax;
  } else {
    taxList_.push_back(tax);
  }
  uint32_t number = 0;
  if (DecimalNumber(TextOf(tax.reference), number) && number >= nextTaxReference_) nextTaxReference_ = number + 1;
}

void Conversion::RememberTaxCode(const schema::TaxCodeRecord& code) {
  const auto same = std::find_if(taxCodeList_.begin(), taxCodeList_.end(),
                                 [&code](const schema::TaxCodeRecord& known) { return TextOf(known.code) == TextOf(code.code); });
  if (same != taxCodeList_.end()) {
    *same = code;
  } else {
    taxCodeList_.push_back(code);
  }
  uint32_t number = 0;
  if (DecimalNumber(TextOf(code.code), number) && number >= nextTaxCode_) nextTaxCode_ = number + 1;
}

uint8_t Conversion::FindOrAddTax() {
  const char* name = schema::FileNameOf(FileIndex::Tax);
  const auto same = std::find_if(taxList_.begin(), taxList_.end(),
                                 [this](const schema::TaxRecord& known) { return SameTax(known, workingTax_); });
  if (same != taxList_.end()) {
    const schema::TaxRecord known = *same;
    catalogue_.OpenCatalogueFile(FileIndex::Tax);
    const uint8_t rc = OKVReadRecEQ(Handle(FileIndex::Tax), 0, known.reference, &workingTax_);
    if (rc != OKV_SUCCESS) {
      Log(Msg::ReadMatchingTaxFailed, name, rc);
      workingTax_ = known;  // the run's own copy names the same reference
    }
    return OKV_SUCCESS;
  }
  if (nextTaxReference_ > kLargestCodeNumber) return kOutOfRange;
  SetText(workingTax_.reference, std::to_string(nextTaxReference_++));
  try {
    taxList_.push_back(workingTax_);
  } catch (const std::bad_alloc&) {
    Log(AllocationMessage(taxList_, Msg::AllocFirstTax, Msg::AllocSecondTax, Msg::AllocTax));
    return kAllocationFailed;
  }
  const uint8_t rc = catalogue_.AddCatalogueRecord(FileIndex::Tax, &workingTax_);
  if (rc != OKV_SUCCESS) {
    Log(Msg::CreateTaxFailed, name, rc);
    taxList_.pop_back();
    return rc;
  }
  if (workingTax_.type == schema::kTaxOnTax && workingTax_.taxOnTaxMask == 0) {
    Log(Msg::TaxOnTaxUninitialised, name, TextOf(workingTax_.reference));
  }
  return OKV_SUCCESS;
}

uint8_t Conversion::FindOrAddTaxCode() {
  const auto same = std::find_if(taxCodeList_.begin(), taxCodeList_.end(), [this](const schema::TaxCodeRecord& known) {
    return SameReferences(known, workingTaxCode_);
  });
  if (same != taxCodeList_.end()) {
    const schema::TaxCodeRecord known = *same;
    catalogue_.OpenCatalogueFile(FileIndex::TaxCode);
    const uint8_t rc = OKVReadRecEQ(Handle(FileIndex::TaxCode), 0, known.code, &workingTaxCode_);
    if (rc != OKV_SUCCESS) {
      Log(Msg::ReadMatchingTaxCodeFailed, rc);
      workingTaxCode_ = known;
    }
    return OKV_SUCCESS;
  }
  if (nextTaxCode_ > kLargestCodeNumber) return kOutOfRange;
  SetText(workingTaxCode_.code, std::to_string(nextTaxCode_++));
  try {
    taxCodeList_.push_back(workingTaxCode_);
  } catch (const std::bad_alloc&) {
    Log(AllocationMessage(taxCodeList_, Msg::AllocFirstTaxCode, Msg::AllocSecondTaxCode, Msg::AllocTaxCode));
    return kAllocationFailed;
  }
  const uint8_t rc = catalogue_.AddCatalogueRecord(FileIndex::TaxCode, &workingTaxCode_);
  if (rc != OKV_SUCCESS) {
    Log(Msg::CreateTaxCodeFailed, rc);
    taxCodeList_.pop_back();
  }
  return rc;
}

uint8_t Conversion::ConvertLedgerTaxCode(std::string_view text, char (&taxCodeTarget)[9]) {
  if (text.empty()) {
    Log(Msg::TaxCodeEmpty);
    return kRequiredEmpty;
  }
  char code[9] = {};
  uint8_t rc = ConvertText(text, code, kCodeMax);
  if (rc != kFieldOk) {
    Log(Msg::TaxCodeProblem, rc);
    return rc;
  }
  std::memcpy(taxCodeTarget, code, sizeof code);
  rc = catalogue_.OpenOrCreateCatalogueFile(FileIndex::TaxCode);
  schema::TaxCodeRecord record{};
  if (rc == OKV_SUCCESS) rc = OKVReadRecEQ(Handle(FileIndex::TaxCode), 0, code, &record);
  if (rc == OKV_RECORD_NOT_FOUND) {
    record = {};
    SetText(record.code, TextOf(code));
    rc = catalogue_.AddCatalogueRecord(FileIndex::TaxCode, &record);
    if (rc != OKV_SUCCESS) Log(Msg::LedgerTaxCodeCreateFailed, rc);
  } else if (rc != OKV_SUCCESS) {
    Log(Msg::LedgerTaxCodeReadFailed, rc);
  }
  return rc;
}

uint8_t Conversion::ConvertTaxValue(int position, std::string_view text, char (&taxCodeTarget)[9], TaxRangeRule rule) {
  if (GeneralLedgerMode()) return position == 1 ? ConvertLedgerTaxCode(text, taxCodeTarget) : kFieldOk;
  if (position == 1) {
    workingTaxCode_ = {};
    buildingTaxCode_ = true;
  }
  if (!buildingTaxCode_) return kFieldOk;  // an earlier position ended this tax code
  const bool byPosition = rule == TaxRangeRule::ByPosition;
  if (text.empty()) {
    Log(byPosition ? Msg::BasePriceTaxEmpty : Msg::TaxFieldEmpty);
    buildingTaxCode_ = false;
    return kRequiredEmpty;
  }
  const schema::TaxDefinition& definition = taxConfig_.definition[position - 1];
  workingTax_ = {};
  workingTax_.type = definition.type;
  SetText(workingTax_.label, TextOf(definition.label));
  const bool percent = byPosition ? PercentByPosition(position) : PercentByType(definition.type);
  double rate = 0;
  uint8_t rc = percent ? ConvertDouble(text, -99.999, 99.999, rate) : ConvertDouble(text, -99.9999, 99.9999, rate);
  if (rc != kFieldOk) {
    const Msg problem = byPosition ? (percent ? Msg::BasePricePercentTaxProblem : Msg::BasePricePerUnitTaxProblem)
                                   : (percent ? Msg::PercentTaxProblem : Msg::PerUnitTaxProblem);
    Log(problem, rc);
    buildingTaxCode_ = false;
    return rc;
  }
  workingTax_.rate = rate;
  if (definition.type == schema::kTaxOnTax) workingTax_.taxOnTaxMask = GeneratedTaxOnTaxMask(config_.taxStructure, position);
  rc = FindOrAddTax();
  if (rc != OKV_SUCCESS) {
    buildingTaxCode_ = false;
    return rc;
  }
  SetText(workingTaxCode_.reference[position - 1], TextOf(workingTax_.reference));
  if (position < 9) return kFieldOk;
  buildingTaxCode_ = false;
  rc = FindOrAddTaxCode();
  if (rc == OKV_SUCCESS) SetText(taxCodeTarget, TextOf(workingTaxCode_.code));
  return rc;
}

uint8_t Conversion::HandleBasePriceLine(const Field& field) {
  const std::string_view text = field.text;
  if (field.number == 4) {
    productInProgress_ = false;
    product_ = {};
    if (text.empty()) {
      Log(Msg::BasePriceProductEmpty);
      return kRequiredEmpty;
    }
    const std::string_view code = TrimTrailingSpaces(text);
    uint8_t rc = code.empty() ? kRequiredEmpty : code.size() > kCodeMax ? kOutOfRange : kFieldOk;
    if (rc == kFieldOk) rc = ReadOrCreateProduct(code, product_);
    if (rc != kFieldOk) {
      Log(Msg::BasePriceProductProblem, rc);
      return rc;
    }
    productInProgress_ = true;
    return kFieldOk;
  }
  if (!productInProgress_) return kFieldOk;
  auto rewriteProduct = [this]() -> uint8_t {
    const uint8_t rc = OKVUpdateRec(Handle(FileIndex::Product), &product_);
    if (rc != OKV_SUCCESS) Log(Msg::ProductUpdateFailed, rc);
    return rc;
  };
  uint8_t rc = kFieldOk;
  if (field.number == 5) {
    double price = 0;
    if (text.empty()) {
      Log(Msg::BasePriceEmpty);
      rc = kRequiredEmpty;
    } else if ((rc = ConvertDouble(text, -99.9999, 99.9999, price)) != kFieldOk) {
      Log(Msg::BasePriceProblem, rc);
    } else {
      product_.unitPrice = price;
      rc = rewriteProduct();
    }
  } else if (field.number <= 14) {
    rc = ConvertTaxValue(static_cast<int>(field.number) - 5, text, product_.taxCode, TaxRangeRule::ByPosition);
    if (rc == kFieldOk && field.number == 14) rc = rewriteProduct();
  } else {
    Log(Msg::BasePriceTooMany);
    rc = kTooManyFields;
  }
  if (rc != kFieldOk) productInProgress_ = false;
  return rc;
}

uint8_t Conversion::VolumeLevelField(int level, std::string_view text) {
  static constexpr Msg kEmpty[] = {Msg::FirstLevelEmpty, Msg::SecondLevelEmpty, Msg::ThirdLevelEmpty};
  volumeLevelText_[level].clear();
  if (text.empty()) {
    Log(kEmpty[level]);
    volumeInProgress_ = false;
    return kRequiredEmpty;
  }
  const std::string_view trimmed = TrimTrailingSpaces(text);
  volumeLevelText_[level] = trimmed;
  const size_t point = trimmed.find('.');
  const std::string_view decimals = point == std::string_view::npos ? std::string_view() : trimmed.substr(point + 1);
  if (decimals.find('.') != std::string_view::npos || decimals.size() > 2) {
    volumeInProgress_ = false;
    return kOutOfRange;
  }
  // The finest resolution that any level needs holds all three exactly.
  volumeDecimals_ = std::max(volumeDecimals_, static_cast<unsigned>(decimals.size()));
  return kFieldOk;
}

uint8_t Conversion::StoreVolumeLevels() {
  static constexpr Msg kWrongTypeMessage[] = {Msg::FirstLevelWrongType, Msg::SecondLevelWrongType, Msg::ThirdLevelWrongType};
  const auto code = static_cast<uint8_t>(volumeDecimals_ == 0 ? 0u : 2 - volumeDecimals_);
  for (const std::string& level : volumeLevelText_) {
    const double value = DecimalValue(level);
    if (!(value >= 0 && value <= kMaxLevelByCode[code])) {
      Log(Msg::LevelsOutOfRange);
      volumeInProgress_ = false;
      return kOutOfRange;
    }
  }
  for (int i = 0; i < 3; ++i) {
    uint32_t quantity = 0;
    if (!IsVolume(volumeLevelText_[i].c_str(), code, &quantity)) {
      Log(kWrongTypeMessage[i]);
      volumeInProgress_ = false;
      return kWrongType;
    }
    volume_.category[i].qualifyingQuantity = quantity;
  }
  volume_.resolution = code;
  return kFieldOk;
}

uint8_t Conversion::WriteVolumeDiscount() {
  volumeInProgress_ = false;
  uint8_t rc = catalogue_.AddCatalogueRecord(FileIndex::Volume, &volume_);
  if (rc == OKV_DUPLICATE_KEY) {
    schema::VolumeDiscountRecord old{};
    rc = OKVReadRecEQ(Handle(FileIndex::Volume), 0, volume_.code, &old);
    if (rc != OKV_SUCCESS) {
      Log(Msg::VolumeReadOldFailed, rc);
      return rc;
    }
    rc = OKVUpdateRec(Handle(FileIndex::Volume), &volume_);
    if (rc != OKV_SUCCESS) Log(Msg::VolumeUpdateFailed, rc);
  } else if (rc != OKV_SUCCESS) {
    Log(Msg::VolumeCreateFailed, rc);
  }
  return rc;
}

uint8_t Conversion::CashIntervalField(int interval, int part, std::string_view text) {
  if (part == 0) {
    cash_ = {};
    SetText(cash_.code, std::to_string(interval));
    cashInProgress_ = true;
  }
  if (!cashInProgress_) return kFieldOk;
  uint8_t rc = kFieldOk;
  schema::CashInterval& values = cash_.interval[0];  // each code carries its interval first
  if (part == 0) {
    int16_t days = 0;
    if (text.empty()) {
      Log(Msg::CashDaysEmpty);
      rc = kRequiredEmpty;
    } else if ((rc = ConvertShort(text, days)) != kFieldOk) {
      Log(Msg::CashDaysProblem, rc);
    } else {
      values.days = static_cast<uint16_t>(days);
    }
  } else if (part == 1) {
    double percent = 0;
    if (text.empty()) {
      Log(Msg::CashPercentEmpty);
      rc = kRequiredEmpty;
    } else if ((rc = ConvertDouble(text, -99.999, 99.999, percent)) != kFieldOk) {
      Log(Msg::CashPercentProblem, rc);
    } else {
      values.percentDiscount = percent;
    }
  } else {
    double perUnit = 0;
    if (text.empty()) {
      Log(Msg::CashPerUnitEmpty);  // optional: the discount stays 0
    } else if ((rc = ConvertDouble(text, -99.9999, 99.9999, perUnit)) != kFieldOk) {
      Log(Msg::CashPerUnitProblem, rc);
    } else {
      values.perUnitDiscount = perUnit;
    }
    if (rc == kFieldOk) rc = WriteCashDiscount();
  }
  if (rc != kFieldOk) cashInProgress_ = false;
  return rc;
}

uint8_t Conversion::WriteCashDiscount() {
  cashInProgress_ = false;
  uint8_t rc = catalogue_.AddCatalogueRecord(FileIndex::Cash, &cash_);
  if (rc == OKV_DUPLICATE_KEY) {
    schema::CashDiscountRecord old{};
    rc = OKVReadRecEQ(Handle(FileIndex::Cash), 0, cash_.code, &old);
    if (rc != OKV_SUCCESS) {
      Log(Msg::CashReadOldFailed, rc);
      return rc;
    }
    rc = OKVUpdateRec(Handle(FileIndex::Cash), &cash_);
    if (rc != OKV_SUCCESS) Log(Msg::CashUpdateFailed, rc);
  } else if (rc != OKV_SUCCESS) {
    Log(Msg::CashCreateFailed, rc);
  }
  return rc;
}

uint8_t Conversion::HandleDiscountScheduleLine(const Field& field) {
  static constexpr Msg kPerUnitEmpty[] = {Msg::PerUnitDiscount1Empty, Msg::PerUnitDiscount2Empty, Msg::PerUnitDiscount3Empty};
  static constexpr Msg kPerUnitProblem[] = {Msg::PerUnitDiscount1Problem, Msg::PerUnitDiscount2Problem,
                                            Msg::PerUnitDiscount3Problem};
  const uint32_t n = field.number;
  const std::string_view text = field.text;
  if (n >= 10 && n <= 18) return CashIntervalField(static_cast<int>(n - 10) / 3 + 1, static_cast<int>(n - 10) % 3, text);
  if (n > 18) {
    Log(Msg::DiscountScheduleTooMany);
    return kTooManyFields;
  }
  if (n == 4) {
    volume_ = {};
    SetText(volume_.code, "1");
    volumeInProgress_ = true;
    volumeDecimals_ = 0;
  }
  if (n % 2 == 0) {  // fields 4, 6 and 8: the three volume levels
    const int level = static_cast<int>(n - 4) / 2;
    const uint8_t rc = VolumeLevelField(level, text);
    if (level < 2) return rc;
    if (!volumeInProgress_) {
      Log(Msg::LevelsFailed);
      return rc;
    }
    return StoreVolumeLevels();
  }
  const int category = static_cast<int>(n - 5) / 2;  // fields 5, 7 and 9
  double discount = 0;
  uint8_t rc = kRequiredEmpty;
  if (text.empty()) {
    Log(kPerUnitEmpty[category]);
  } else if ((rc = ConvertDouble(text, 0, 99.9999, discount)) != kFieldOk) {
    Log(kPerUnitProblem[category], rc);
  }
  volume_.category[category].perUnitDiscount = rc == kFieldOk ? discount : 0;
  if (rc != kFieldOk) volumeInProgress_ = false;
  if (category == 2 && volumeInProgress_) return WriteVolumeDiscount();
  return rc;
}

uint8_t Conversion::TaxReferenceField(std::string_view text, uint8_t newType) {
  taxLineInProgress_ = false;
  if (text.empty()) {
    Log(Msg::TaxReferenceEmpty);
    return kRequiredEmpty;
  }
  char reference[9] = {};
  uint8_t rc = ConvertText(text, reference, kCodeMax);
  if (rc != kFieldOk) {
    Log(Msg::TaxReferenceProblem, rc);
    return rc;
  }
  const char* name = schema::FileNameOf(FileIndex::Tax);
  rc = catalogue_.OpenOrCreateCatalogueFile(FileIndex::Tax);
  if (rc == OKV_SUCCESS) rc = OKVReadRecEQ(Handle(FileIndex::Tax), 0, reference, &taxLineRecord_);
  if (rc == OKV_RECORD_NOT_FOUND) {
    taxLineRecord_ = {};
    SetText(taxLineRecord_.reference, TextOf(reference));
    taxLineRecord_.type = newType;
    rc = catalogue_.AddCatalogueRecord(FileIndex::Tax, &taxLineRecord_);
    if (rc != OKV_SUCCESS) {
      Log(Msg::TaxReferenceCreateFailed, name, TextOf(reference), rc);
      return rc;
    }
    RememberTax(taxLineRecord_);
  } else if (rc != OKV_SUCCESS) {
    Log(Msg::TaxReferenceReadFailed, TextOf(reference), name, rc);
    return rc;
  }
  taxLineInProgress_ = true;
  return kFieldOk;
}

uint8_t Conversion::RewriteTaxRecord() {
  const uint8_t rc = OKVUpdateRec(Handle(FileIndex::Tax), &taxLineRecord_);
  if (rc != OKV_SUCCESS) {
    taxLineInProgress_ = false;
    Log(Msg::UpdateRecordFailed, schema::FileNameOf(FileIndex::Tax), rc);
  } else {
    RememberTax(taxLineRecord_);
  }
  return rc;
}

uint8_t Conversion::HandleTaxLine(const Field& field) {
  const std::string_view text = field.text;
  if (field.number == 4) return TaxReferenceField(text, schema::kTaxPercent);
  if (!taxLineInProgress_) return kFieldOk;
  uint8_t rc = kFieldOk;
  switch (field.number) {
    case 5:
      if (text.empty()) {
        Log(Msg::TaxLabelEmpty);
        rc = kRequiredEmpty;
      } else if ((rc = ConvertText(text, taxLineRecord_.label, 13)) != kFieldOk) {
        Log(Msg::TaxLabelProblem, rc);
      }
      break;
    case 6: {
      uint8_t type = 0;
      if (text.empty()) {
        Log(Msg::TaxTypeEmpty);
        rc = kRequiredEmpty;
      } else if ((rc = ConvertByte(text, 0, 2, type)) != kFieldOk) {
        Log(Msg::TaxTypeProblem, rc);
      } else {
        taxLineRecord_.type = type;
      }
      break;
    }
    case 7: {
      const bool percent = taxLineRecord_.type == schema::kTaxPercent;
      double rate = 0;
      if (text.empty()) {
        Log(Msg::TaxRateEmpty);
        rc = kRequiredEmpty;
      } else if ((rc = percent ? ConvertDouble(text, -99.999, 99.999, rate)
                               : ConvertDouble(text, -99.9999, 99.9999, rate)) != kFieldOk) {
        Log(Msg::TaxRateProblem, rc);
      } else {
        taxLineRecord_.rate = rate;
        return RewriteTaxRecord();
      }
      break;
    }
    default:
      Log(Msg::TaxTooMany);
      rc = kTooManyFields;
      break;
  }
  if (rc != kFieldOk) taxLineInProgress_ = false;
  return rc;
}

uint8_t Conversion::HandleTaxOnTaxLine(const Field& field) {
  const std::string_view text = field.text;
  if (field.number == 4) {
    taxLineMask_ = 0;
    return TaxReferenceField(text, schema::kTaxOnTax);
  }
  if (!taxLineInProgress_) return kFieldOk;
  uint8_t rc = kFieldOk;
  const uint32_t n = field.number;
  if (n == 5) {
    if (text.empty()) {
      Log(Msg::TaxLabelEmpty);
      rc = kRequiredEmpty;
    } else if ((rc = ConvertText(text, taxLineLabel_, 13)) != kFieldOk) {
      Log(Msg::TaxLabelProblem, rc);
    }
  } else if (n == 6) {
    if (text.empty()) {
      Log(Msg::TaxRateEmpty);
      rc = kRequiredEmpty;
    } else if ((rc = ConvertDouble(text, -99.999, 99.999, taxLineRate_)) != kFieldOk) {
      Log(Msg::TaxRateProblem, rc);
    }
  } else if (n <= 25) {
    uint8_t flag = 0;
    if (text.empty()) {
      Log(Msg::TaxFlagsEmpty);
      rc = kRequiredEmpty;
    } else if ((rc = ConvertByte(text, 0, 1, flag)) != kFieldOk) {
      Log(Msg::TaxFlagProblem, rc);
    } else {
      if (flag) taxLineMask_ |= 1u << (n - 7);
      if (n == 25) {
        taxLineRecord_.taxOnTaxMask = taxLineMask_;
        SetText(taxLineRecord_.label, TextOf(taxLineLabel_));
        taxLineRecord_.rate = taxLineRate_;
        return RewriteTaxRecord();
      }
    }
  } else {
    Log(Msg::TaxTooMany);
    rc = kTooManyFields;
  }
  if (rc != kFieldOk) taxLineInProgress_ = false;
  return rc;
}

uint8_t Conversion::HandleTaxCodeLine(const Field& field) {
  const std::string_view text = field.text;
  const char* name = schema::FileNameOf(FileIndex::TaxCode);
  if (field.number == 4) {
    taxCodeLineInProgress_ = false;
    if (text.empty()) {
      Log(Msg::TaxCodeCodeEmpty);
      return kRequiredEmpty;
    }
    char code[9] = {};
    uint8_t rc = ConvertText(text, code, kCodeMax);
    if (rc != kFieldOk) {
      Log(Msg::TaxCodeCodeProblem, rc);
      return rc;
    }
    rc = catalogue_.OpenOrCreateCatalogueFile(FileIndex::TaxCode);
    if (rc == OKV_SUCCESS) rc = OKVReadRecEQ(Handle(FileIndex::TaxCode), 0, code, &taxCodeLineRecord_);
    if (rc == OKV_SUCCESS) {
      std::memset(taxCodeLineRecord_.reference, 0, sizeof taxCodeLineRecord_.reference);
    } else if (rc == OKV_RECORD_NOT_FOUND) {
      taxCodeLineRecord_ = {};
      SetText(taxCodeLineRecord_.code, TextOf(code));
      rc = catalogue_.AddCatalogueRecord(FileIndex::TaxCode, &taxCodeLineRecord_);
      if (rc != OKV_SUCCESS) {
        Log(Msg::TaxCodeCreateFailed, name, TextOf(code), rc);
        return rc;
      }
      RememberTaxCode(taxCodeLineRecord_);
    } else {
      Log(Msg::TaxCodeReadFailed, TextOf(code), name, rc);
      return rc;
    }
    taxCodeLineInProgress_ = true;
    return kFieldOk;
  }
  if (!taxCodeLineInProgress_) return kFieldOk;
  const std::string_view code = TextOf(taxCodeLineRecord_.code);
  const uint32_t position = field.number - 4;
  if (field.number > announcedTaxCodeFields_ + 3 || position > schema::kTaxCodePositions) {
    Log(Msg::TaxCodeTooManyReferences, name, code);
    taxCodeLineInProgress_ = false;
    return kTooManyFields;
  }
  char (&reference)[9] = taxCodeLineRecord_.reference[position - 1];
  uint8_t rc = kFieldOk;
  if (text.empty()) {
    std::memset(reference, 0, sizeof reference);
  } else if ((rc = ConvertText(text, reference, kCodeMax)) != kFieldOk) {
    Log(Msg::TaxCodeReferenceProblem, text, name, code, rc);
    taxCodeLineInProgress_ = false;
    return rc;
  }
  rc = OKVUpdateRec(Handle(FileIndex::TaxCode), &taxCodeLineRecord_);
  if (rc != OKV_SUCCESS) {
    Log(Msg::TaxCodeUpdateFailed, name, code, rc);
    taxCodeLineInProgress_ = false;
    return rc;
  }
  RememberTaxCode(taxCodeLineRecord_);
  return kFieldOk;
}

void Conversion::CheckTaxCodeRecord(const schema::TaxCodeRecord& code) {
  const char* codeFile = schema::FileNameOf(FileIndex::TaxCode);
  const char* taxFile = schema::FileNameOf(FileIndex::Tax);
  const std::string_view codeText = TextOf(code.code);
  for (int k = 1; k <= schema::kTaxCodePositions; ++k) {
    const std::string_view reference = TextOf(code.reference[k - 1]);
    if (reference.empty()) continue;
    schema::TaxRecord tax{};
    const uint8_t rc = OKVReadRecEQ(Handle(FileIndex::Tax), 0, code.reference[k - 1], &tax);
    if (rc == OKV_RECORD_NOT_FOUND) {
      Log(Msg::CheckMissingTax, codeFile, codeText, taxFile, reference);
      continue;
    }
    if (rc != OKV_SUCCESS) {
      Log(Msg::CheckReadTaxFailed, taxFile, reference, rc);
      continue;
    }
    if (tax.type != schema::kTaxOnTax) continue;
    // A tax-on-tax may only apply to taxes in earlier positions.
    const uint32_t ownAndLater = kPositionMaskAll & ~((1u << (k - 1)) - 1);
    if (k == 1) {
      Log(Msg::CheckFirstPosition, codeFile, codeText, taxFile);
    } else if (k <= 19 && (tax.taxOnTaxMask & ownAndLater) != 0) {
      Log(Msg::CheckInvalidLocation, codeFile, codeText, taxFile, reference);
    } else {
      continue;
    }
    Log(Msg::CheckFollowUp, taxFile, codeFile);
  }
}

void Conversion::CheckTaxOnTax() {
  const bool office = variant_ == Variant::Office;
  Log(Msg::CheckStart);
  for (const FileIndex index : {FileIndex::Tax, FileIndex::TaxCode}) {
    const uint8_t rc = catalogue_.OpenCatalogueFile(index);
    if (rc != OKV_SUCCESS && office) {
      Log(Msg::CheckOpenFailed, schema::FileNameOf(index), rc);
      return;
    }
  }
  const char* codeFile = schema::FileNameOf(FileIndex::TaxCode);
  const uint16_t handle = Handle(FileIndex::TaxCode);
  schema::TaxCodeRecord code{};
  uint8_t rc = OKVReadRecLO(handle, 0, &code);
  if (rc != OKV_SUCCESS && rc != OKV_RECORD_NOT_FOUND) Log(Msg::CheckReadFirstFailed, codeFile, rc);
  while (rc == OKV_SUCCESS) {
    CheckTaxCodeRecord(code);
    rc = OKVReadRecNX(handle, 0, &code);
    if (rc != OKV_SUCCESS && rc != OKV_RECORD_NOT_FOUND) Log(Msg::CheckReadNextFailed, codeFile, rc);
  }
  if (!office) return;
  for (const FileIndex index : {FileIndex::Tax, FileIndex::TaxCode}) {
    const uint8_t closeRc = catalogue_.CloseCatalogueFile(index);
    if (closeRc != OKV_SUCCESS) Log(Msg::CheckCloseFailed, schema::FileNameOf(index), closeRc);
  }
  Log(Msg::CheckComplete);
}

}  // namespace trk::tqload
