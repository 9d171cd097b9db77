// The lines of the delivery text file for a sale: the delivery line of each tank,
// the expanded charge lines of a tank group, the charge and empty-sale lines of a
// sale without delivery, and the payment line. The office configuration (tax
// field mode, expanded charges) and the Config record (record format, custom
// feature and three switches) shape them.
#include <array>

#include "tqread/conversion.h"
#include "tqread/fields.h"

namespace trk::tqread {

namespace {

using schema::DeliverySummaryRecord;
using schema::MiscCharge;
using schema::ReceivedPaymentRecord;
using schema::TankDeliveryRecord;
using schema::TextOf;

enum TaxFieldMode : uint8_t {
  kNineRates = 0,
  kNineAmounts = 1,
  kTwentyRates = 2,
  kTwentyAmounts = 3,
  kGeneralLedger = 4,
  kTaxCodeText = 5,
};
constexpr int kNinePositions = 9;
constexpr int kTwentyPositions = 20;
constexpr int kLedgerPositions = 3;

constexpr int kAmountDecimals = 2;
constexpr int kRateDecimals = 4;
constexpr int kTenthsDecimals = 1;
constexpr uint8_t kSummaryVolumeResolution = schema::kTenths;

// A string key's search value: the text NUL-terminated and NUL-padded.
template <size_t KeyLength>
std::array<char, KeyLength + 1> KeyText(std::string_view text) {
  std::array<char, KeyLength + 1> key{};
  text.copy(key.data(), KeyLength);
  return key;
}

double ChargeTotals(const DeliverySummaryRecord& summary) {
  double total = 0;
  for (const MiscCharge& charge : summary.charges) total += charge.chargeTotal;
  return total;
}

bool AnyCharge(const DeliverySummaryRecord& summary) {
  for (const MiscCharge& charge : summary.charges) {
    if (charge.chargeTotal != 0) return true;
  }
  return false;
}

void AppendPaymentAmount(LineBuilder& line, const ReceivedPaymentRecord& payment) {
  const double amountB = payment.paymentAmountB;
  const double amountA = payment.paymentAmountA;
  if (amountB != 0) {
    line.Fixed(amountB, kAmountDecimals);
  } else if (amountA != 0) {
    line.Fixed(amountA, kAmountDecimals);
  } else {
    line.Zero();
  }
}

void AppendAmounts(LineBuilder& line, const schema::PackedF64* amounts, int count) {
  for (int k = 0; k < count; ++k) line.FixedOrZero(amounts[k].value, kAmountDecimals);
}

const char* DeliveryLineCode(bool customerKnown, uint8_t feature, uint8_t recordFormat) {
  if (feature == schema::kFeatureHaldenPryce) return customerKnown ? "29" : "30";
  if (recordFormat == 1) return customerKnown ? "47" : "48";
  return customerKnown ? "6" : "7";
}

}  // namespace

void ConversionRun::AppendDeliveryLine(std::string& text, const TankDeliveryRecord& tank,
                                       const DeliverySummaryRecord& summary, const ReceivedPaymentRecord& payment,
                                       bool paymentJoined, bool firstTank) {
  const uint8_t feature = config_.customFeature;
  LineBuilder line(text);
  line.Text(DeliveryLineCode(CustomerKnown(TextOf(tank.accessNumber)), feature, config_.dispatchRecordFormat));
  line.Text(TextOf(tank.accessNumber));
  line.Volume(tank.grossVolume, tank.volumeFormat);
  line.Volume(tank.netVolume, tank.volumeFormat);
  line.Fixed(tank.temperature, kTenthsDecimals);
  Trace(1, text);
  line.Text(TextOf(summary.numberText41));
  line.Integer(summary.saleNumber);
  line.Text(TextOf(tank.head.text18));
  if (feature == schema::kFeatureRidgeway) line.Fixed(tank.value185, kTenthsDecimals);
  line.Text(TextOf(tank.productCode));
  line.Text(TextOf(tank.text41));
  line.Zeros(2);
  line.FixedOrZero(tank.rate241, kRateDecimals);
  line.FixedOrZero(tank.amount249, kAmountDecimals);
  Trace(2, text);
  AppendTaxFields(line, TextOf(tank.taxCode), tank.taxAmounts);
  Trace(3, text);
  line.FixedOrZero(tank.amount426, kAmountDecimals);
  if (feature == schema::kFeatureRidgeway) {
    for (const schema::PackedF64& value : tank.variantValues) line.FixedOrZero(value.value, kRateDecimals);
  }
  line.FixedOrZero(tank.amount459, kAmountDecimals);
  line.FixedOrZero(feature == schema::kFeatureHaldenPryce ? tank.variantValues[3].value : ChargeSum(summary, firstTank),
                   kAmountDecimals);
  if (config_.beginningBalance == 1) line.FixedOrZero(summary.beginningBalance, kAmountDecimals);
  if (config_.complianceCharge == 1) line.FixedOrZero(summary.charges[1].chargeTotal, kAmountDecimals);
  Trace(4, text);
  if (!firstTank) {
    line.Zero();
  } else if (feature == schema::kFeatureCorlan) {
    line.FixedOrZero(summary.totalAmount - ChargeTotals(summary), kAmountDecimals);
  } else {
    line.FixedOrZero(summary.totalAmount, kAmountDecimals);
  }
  if (feature == schema::kFeatureCorlan) {
    line.FixedOrZero(tank.variantValues[1].value, kAmountDecimals);
  } else if (firstTank) {
    line.FixedOrZero(summary.amount155, kAmountDecimals);
  } else {
    line.Zero();
  }
  Trace(5, text);
  AppendPaymentFields(line, tank, summary, payment, paymentJoined, firstTank);
  Trace(6, text);
  if (feature == schema::kFeatureTorvane) line.Fixed(tank.value185, 0);
  line.Integer(tank.value166);
  line.Padded(TextOf(summary.text70), feature == schema::kFeatureHaldenPryce ? 16 : 8);
  if (feature == schema::kFeatureRidgeway) {
    line.Padded(TextOf(summary.text96), 24);
    line.Padded(TextOf(summary.text87), 8);
    line.Text(PaddedText(TextOf(tank.text144), 10) + PaddedText(TextOf(tank.text155), 10) +
              PaddedText(TextOf(tank.text140), 4));
  } else if (feature == schema::kFeatureHaldenPryce) {
    line.Padded(TextOf(summary.text87), 8);
    line.Padded(TextOf(tank.text78), 16);
    line.Padded(TextOf(tank.text144), 10);
  }
  Trace(7, text);
  line.CutTo8(TextOf(tank.startDate));
  line.CutTo8(TextOf(tank.startTime));
  line.CutTo8(TextOf(tank.endDate));
  line.CutTo8(TextOf(tank.endTime));
  if (feature == schema::kFeatureCorlan) {
    line.Spaces(16);
  } else if (feature == schema::kFeatureHaldenPryce) {
    for (int i = 0; i < 4; ++i) line.Spaces(40);
  } else if (config_.dispatchRecordFormat == 1) {
    line.Spaces(24);
    line.Spaces(24);
    line.Spaces(16);
  }
  line.EndLine();
  Trace(8, text);
}

// The charges that the first tank's line carries (slot 1 has a field of its own
// under the compliance charge); an expanded file lists them on "19" lines instead.
double ConversionRun::ChargeSum(const DeliverySummaryRecord& summary, bool firstTank) const {
  if (config_.customFeature == schema::kFeatureCorlan) return 0;
  if (!firstTank || officeConfig_.expandedMiscellaneous != 0) return 0;
  double sum = summary.charges[0].chargeTotal + summary.charges[2].chargeTotal;
  if (config_.complianceCharge != 1) sum += summary.charges[1].chargeTotal;
  return sum;
}

void ConversionRun::AppendPaymentFields(LineBuilder& line, const TankDeliveryRecord& tank,
                                        const DeliverySummaryRecord& summary, const ReceivedPaymentRecord& payment,
                                        bool paymentJoined, bool firstTank) {
  const uint8_t feature = config_.customFeature;
  if (feature == schema::kFeatureVerlund) {
    const schema::TotalizerRecord& totals = TotalsOfProduct(TextOf(tank.productCode));
    if (firstTank && paymentJoined) {
      AppendPaymentAmount(line, payment);
      line.Integer(payment.paymentType);
    } else {
      line.Zeros(2);
    }
    line.Text(TextOf(totals.text54));
    line.Text(TextOf(totals.text28));
    return;
  }
  if (!firstTank || !(paymentJoined || feature == schema::kFeatureCorlan)) {
    line.Zeros(3);
    return;
  }
  AppendPaymentAmount(line, payment);
  line.Integer(payment.paymentType);
  // The balance left after the payment, with the discount (amount155) added back.
  double balance = summary.totalAmount - (payment.paymentAmountA + payment.paymentAmountB) - summary.amount155;
  if (balance != 0 && feature == schema::kFeatureCorlan) balance -= ChargeTotals(summary);
  if (balance == 0) {
    line.Zero();
  } else {
    line.Fixed(balance + summary.amount155, kAmountDecimals);
  }
}

void ConversionRun::AppendTankGroupChargeLines(std::string& text, const DeliverySummaryRecord& summary,
                                               const TankDeliveryRecord& lastTank) {
  const uint8_t feature = config_.customFeature;
  const bool expanded = feature == schema::kFeatureCorlan || officeConfig_.expandedMiscellaneous != 0;
  if (!expanded || config_.simultaneousDelivery != 0 || !AnyCharge(summary)) return;
  for (const MiscCharge& charge : summary.charges) {
    if (charge.chargeTotal == 0) continue;
    LineBuilder line(text);
    line.Text("19");
    line.Text(TextOf(summary.accessNumber));
    line.Text(TextOf(charge.chargeCode));
    line.FixedOrZero(charge.quantity, kAmountDecimals);
    line.FixedOrZero(charge.unitPrice, kRateDecimals);
    line.Text(TextOf(summary.numberText41));
    line.Integer(summary.saleNumber);
    line.Integer(summary.saleNumber);
    const int32_t net = lastTank.netVolume;
    const int32_t gross = lastTank.grossVolume;
    line.Volume(net != 0 ? net : gross, lastTank.volumeFormat);
    AppendTaxFields(line, TextOf(charge.chargeTaxCode), nullptr);
    line.FixedOrZero(charge.chargeTax, kAmountDecimals);
    line.Fixed(charge.chargeTotal, kAmountDecimals);
    line.Zeros(2);
    if (feature == schema::kFeatureCorlan) {
      line.Fixed(charge.chargeTotal, kAmountDecimals);
      line.Zero();
    } else {
      line.Zeros(2);
    }
    line.CutTo8(TextOf(summary.summaryDate));
    line.CutTo8(TextOf(summary.summaryTime));
    line.EndLine();
    Trace(9, text);
  }
}

bool ConversionRun::AppendSaleLines(std::string& text, const DeliverySummaryRecord& summary,
                                    const ReceivedPaymentRecord* payment) {
  const bool expanded = officeConfig_.expandedMiscellaneous != 0;
  bool paymentWritten = false;
  for (int slot = 0; slot < schema::kMiscChargeSlots; ++slot) {
    const MiscCharge& charge = summary.charges[slot];
    if (charge.chargeTotal == 0) continue;
    LineBuilder line(text);
    const double chargeTax = charge.chargeTax;
    const double chargeTotal = charge.chargeTotal;
    if (!expanded) {
      line.Text("8");
      line.Text(TextOf(summary.accessNumber));
      line.Text(TextOf(charge.chargeCode));
      line.NumberFromText(TextOf(summary.numberText41));
      line.NumberFromText(TextOf(summary.numberText49));
      line.Volume(summary.summaryVolume, kSummaryVolumeResolution);
      const double taxable = chargeTotal - chargeTax;
      if (chargeTax != 0 && taxable != 0) {
        line.Fixed(taxable, kAmountDecimals);
      } else {
        line.Zero();
      }
      if (const std::optional<double> rate = ChargeTaxRate(charge)) {
        line.Fixed(*rate, kRateDecimals);
      } else {
        line.Zero();
      }
      if (chargeTax == 0) {
        line.Fixed(chargeTotal, kAmountDecimals);
      } else {
        line.Zero();
      }
      if (slot == 0) {
        line.Fixed(summary.totalAmount, kAmountDecimals);
      } else {
        line.Zero();
      }
    } else {
      line.Text("19");
      line.Text(TextOf(summary.accessNumber));
      line.Text(TextOf(charge.chargeCode));
      line.FixedOrZero(charge.quantity, kAmountDecimals);
      line.FixedOrZero(charge.unitPrice, kRateDecimals);
      line.NumberFromText(TextOf(summary.numberText41));
      line.NumberFromText(TextOf(summary.numberText49));
      line.NumberFromText(TextOf(summary.numberText49));
      line.Zero();
      AppendChargeRateFields(line, TextOf(charge.chargeTaxCode));
      line.FixedOrZero(chargeTax, kAmountDecimals);
      line.Fixed(chargeTotal, kAmountDecimals);
    }
    if (slot == 0 && payment != nullptr) {
      AppendPaymentAmount(line, *payment);
      line.Integer(payment->paymentType);
      paymentWritten = true;
    } else {
      line.Zeros(2);
    }
    if (expanded) line.Zero();
    line.Zero();
    line.CutTo8(TextOf(summary.summaryDate));
    line.CutTo8(TextOf(summary.summaryTime));
    line.EndLine();
    Trace(10, text);
  }
  if (!AnyCharge(summary)) {
    LineBuilder line(text);
    line.Text("4");
    line.Text(TextOf(summary.accessNumber));
    line.Zeros(2);
    line.Integer(summary.saleNumber);
    line.Zeros(4);
    line.Text(TextOf(summary.text70));
    line.CutTo8(TextOf(summary.summaryDate));
    line.CutTo8(TextOf(summary.summaryTime));
    line.CutTo8(TextOf(summary.summaryDate));
    line.CutTo8(TextOf(summary.summaryTime));
    line.EndLine();
    Trace(11, text);
  }
  return paymentWritten;
}

// A payment line has the shape of a sale's charge line with an empty charge code
// and zero charge fields.
void ConversionRun::AppendPaymentLine(std::string& text, const ReceivedPaymentRecord& payment) {
  LineBuilder line(text);
  if (officeConfig_.expandedMiscellaneous == 0) {
    line.Text("8");
    line.Text(TextOf(payment.accessNumber));
    line.Text("");
    line.NumberFromText(TextOf(payment.numberText102));
    line.NumberFromText(TextOf(payment.numberText110));
    line.Zeros(5);
    AppendPaymentAmount(line, payment);
    line.Integer(payment.paymentType);
    line.Zero();
  } else {
    line.Text("19");
    line.Text(TextOf(payment.accessNumber));
    line.Text("");
    line.Zeros(2);
    line.NumberFromText(TextOf(payment.numberText102));
    line.NumberFromText(TextOf(payment.numberText110));
    line.NumberFromText(TextOf(payment.numberText110));
    // The charge fields of an expanded charge line, all zero (the 0, nine tax
    // rates, the tax and the total), so that the payment amount stands in the
    // same column as on every other "19" line the accounting system imports.
    line.Zeros(12);
    AppendPaymentAmount(line, payment);
    line.Integer(payment.paymentType);
    line.Zeros(2);
  }
  line.CutTo8(TextOf(payment.head.transDate));
  line.CutTo8(TextOf(payment.head.transTime));
  line.EndLine();
  Trace(12, text);
}

void ConversionRun::AppendTaxFields(LineBuilder& line, std::string_view taxCode, const schema::PackedF64* taxAmounts) {
  const uint8_t mode = officeConfig_.taxFields;
  switch (mode) {
    case kTaxCodeText:
      line.Text(taxCode);
      return;
    case kNineAmounts:
    case kTwentyAmounts:
      if (taxAmounts) AppendAmounts(line, taxAmounts, mode == kNineAmounts ? kNinePositions : kTwentyPositions);
      return;
    case kNineRates:
    case kTwentyRates: {
      const int positions = mode == kNineRates ? kNinePositions : kTwentyPositions;
      schema::TaxCodeRecord record{};
      if (LookUpTaxCode(taxCode, record)) {
        AppendTaxRates(line, record, positions);
      } else if (taxAmounts) {
        AppendAmounts(line, taxAmounts, positions);
      } else {
        line.Zeros(positions);
      }
      return;
    }
    case kGeneralLedger: {
      if (!taxAmounts) return;
      schema::TaxCodeRecord record{};
      if (!LookUpTaxCode(taxCode, record)) {
        AppendAmounts(line, taxAmounts, kNinePositions);
        return;
      }
      for (int k = 0; k < kLedgerPositions; ++k) {
        const std::string_view reference = TextOf(record.reference[k]);
        schema::TaxRecord tax{};
        if (reference.empty()) {
          line.Zeros(2);
        } else if (!LookUpTax(reference, tax)) {
          line.Zero();
          line.Text(reference);
        } else {
          line.Fixed(tax.rate, kRateDecimals);
          line.Text(TextOf(tax.reference));
        }
        line.Fixed(taxAmounts[k].value, kAmountDecimals);
      }
      return;
    }
    default:
      return;  // no tax fields in a mode the office does not offer
  }
}

void ConversionRun::AppendTaxRates(LineBuilder& line, const schema::TaxCodeRecord& taxCode, int positions) {
  for (int k = 0; k < positions; ++k) {
    const std::string_view reference = TextOf(taxCode.reference[k]);
    schema::TaxRecord tax{};
    if (!reference.empty() && LookUpTax(reference, tax)) {
      line.FixedOrZero(tax.rate, kRateDecimals);
    } else {
      line.Zero();
    }
  }
}

// The nine rate fields of an expanded charge line of a sale without delivery,
// whatever the tax field mode.
void ConversionRun::AppendChargeRateFields(LineBuilder& line, std::string_view taxCode) {
  if (taxCode.empty()) {
    line.Zeros(kNinePositions);
    return;
  }
  schema::TaxCodeRecord record{};
  const uint8_t rc = ReadTaxCode(taxCode, record);
  if (rc != OKV_SUCCESS) {
    if (rc != OKV_OPEN_ERROR) {
      errorSeen_ = true;
      Log(Msg::ChargeTaxCodeLookupFailed, schema::FileNameOf(FileIndex::TaxCode), rc, taxCode);
    }
    line.Zeros(kNinePositions);
    return;
  }
  for (int k = 0; k < kNinePositions; ++k) {
    const std::string_view reference = TextOf(record.reference[k]);
    schema::TaxRecord tax{};
    const uint8_t taxRc = reference.empty() ? OKV_RECORD_NOT_FOUND : ReadTax(reference, tax);
    if (taxRc == OKV_SUCCESS) {
      line.FixedOrZero(tax.rate, kRateDecimals);
      continue;
    }
    if (!reference.empty() && taxRc != OKV_OPEN_ERROR) {
      errorSeen_ = true;
      Log(Msg::ChargeTaxLookupFailed, schema::FileNameOf(FileIndex::Tax), taxRc, reference);
    }
    line.Zero();
  }
}

// The rate of a charge line: the percent and tax-on-tax rates of the charge's tax
// code added up; none when the charge carries no tax. Lookups fail silently here.
std::optional<double> ConversionRun::ChargeTaxRate(const MiscCharge& charge) {
  const std::string_view code = TextOf(charge.chargeTaxCode);
  if (code.empty() || charge.chargeTax == 0) return std::nullopt;
  schema::TaxCodeRecord record{};
  if (ReadTaxCode(code, record) != OKV_SUCCESS) return std::nullopt;
  double rate = 0;
  for (int k = 0; k < kNinePositions; ++k) {
    const std::string_view reference = TextOf(record.reference[k]);
    schema::TaxRecord tax{};
    if (!reference.empty() && ReadTax(reference, tax) == OKV_SUCCESS &&
        (tax.type == schema::kTaxPercent || tax.type == schema::kTaxOnTax)) {
      rate += tax.rate;
    }
  }
  return rate;
}

const schema::TotalizerRecord& ConversionRun::TotalsOfProduct(std::string_view productCode) {
  if (TextOf(totals_.productCode) == productCode) return totals_;
  const uint16_t handle = Handle(FileIndex::Totals);
  const auto key = schema::TotalsProductKey(productCode);
  schema::TotalizerRecord found{};
  const uint8_t rc = handle != 0 ? OKVReadRecEQ(handle, 0, key.data(), &found) : OKV_OPEN_ERROR;
  if (rc != OKV_SUCCESS && rc != OKV_OPEN_ERROR) {
    ReportEngine(Msg::TotalsLookupFailed, OKV_OP_READ_REC_EQ, FileIndex::Totals, rc, {productCode});
  }
  totals_ = rc == OKV_SUCCESS ? found : schema::TotalizerRecord{};
  return totals_;
}

bool ConversionRun::CustomerKnown(std::string_view accessNumber) {
  const uint16_t handle = Handle(FileIndex::Customer);
  if (handle == 0) return false;
  const auto key = KeyText<13>(accessNumber);
  schema::CustomerRecord customer{};
  return OKVReadRecEQ(handle, 0, key.data(), &customer) == OKV_SUCCESS;
}

uint8_t ConversionRun::ReadTaxCode(std::string_view code, schema::TaxCodeRecord& record) {
  const uint16_t handle = Handle(FileIndex::TaxCode);
  if (handle == 0) return OKV_OPEN_ERROR;
  const auto key = KeyText<9>(code);
  return OKVReadRecEQ(handle, 0, key.data(), &record);
}

uint8_t ConversionRun::ReadTax(std::string_view reference, schema::TaxRecord& record) {
  const uint16_t handle = Handle(FileIndex::Tax);
  if (handle == 0) return OKV_OPEN_ERROR;
  const auto key = KeyText<9>(reference);
  return OKVReadRecEQ(handle, 0, key.data(), &record);
}

bool ConversionRun::LookUpTaxCode(std::string_view code, schema::TaxCodeRecord& record) {
  const uint8_t rc = ReadTaxCode(code, record);
  if (rc != OKV_SUCCESS && rc != OKV_OPEN_ERROR) {
    ReportEngine(Msg::TaxCodeLookupFailed, OKV_OP_READ_REC_EQ, FileIndex::TaxCode, rc, {code});
  }
  return rc == OKV_SUCCESS;
}

bool ConversionRun::LookUpTax(std::string_view reference, schema::TaxRecord& record) {
  const uint8_t rc = ReadTax(reference, record);
  if (rc != OKV_SUCCESS && rc != OKV_OPEN_ERROR) {
    ReportEngine(Msg::TaxLookupFailed, OKV_OP_READ_REC_EQ, FileIndex::Tax, rc, {reference});
  }
  return rc == OKV_SUCCESS;
}

void ConversionRun::Trace(int place, const std::string& text) {
  if (!options_.omitTraceLines) Log(Msg::BufferTrace, place, std::string_view(text), text.size());
}

}  // namespace trk::tqread
