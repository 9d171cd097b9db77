// Dispatch lines: one scheduled delivery per line, written as a Tank, a Dispatch,
// a Customer and a CustAcct record, in four layouts chosen by the custom feature.
#include <algorithm>
#include <cctype>
#include <string>

#include "tqload/conversion.h"
#include "tqlib/tqlib.h"

namespace trk::tqload {

namespace {

using schema::SetText;
using schema::TextOf;

constexpr size_t kAccessNumberMax = 12;
constexpr size_t kProductCodeMax = 8;
constexpr size_t kNameMax = 35;
constexpr size_t kCityMax = 19;
constexpr size_t kDirectionsMax = 255;
constexpr uint32_t kTankNumberAttempts = 100000;
constexpr double kMaxPresetByCode[] = {9999999.99, 9999999.9, 9999999};

uint8_t PresetKindOf(uint8_t recordType) {
  switch (recordType) {
    case 2: case 25: case 43: return schema::kPresetNet;
    case 3: case 26: case 44: return schema::kPresetGross;
    case 4: case 27: case 45: return schema::kPresetPrice;
    default: return schema::kNoPreset;
  }
}

std::string FoldCase(std::string_view text) {
  std::string folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return folded;
}

// "1234.5" has one decimal; false when the text has two points or more than two decimals.
bool CountDecimals(std::string_view text, unsigned& decimals) {
  const size_t point = text.find('.');
  decimals = 0;
  if (point == std::string_view::npos) return true;
  const std::string_view after = text.substr(point + 1);
  if (after.find('.') != std::string_view::npos || after.size() > 2) return false;
  decimals = static_cast<unsigned>(after.size());
  return true;
}

}  // namespace

uint8_t Conversion::AccessNumberField(std::string_view text, bool dropLeadingZeros) {
  dispatchInProgress_ = false;
  if (text.empty()) {
    Log(Msg::AccessNumberEmpty);
    return kRequiredEmpty;
  }
  std::string_view access = TrimTrailingSpaces(text);
  const uint8_t rc = access.empty() ? kRequiredEmpty : access.size() > kAccessNumberMax ? kOutOfRange : kFieldOk;
  if (rc != kFieldOk) {
    Log(Msg::AccessNumberProblem, rc);
    return rc;
  }
  if (dropLeadingZeros) access.remove_prefix(std::min(access.find_first_not_of('0'), access.size()));
  accessNumber_ = access;
  dispatch_ = {};
  SetText(dispatch_.route, "1");
  dispatch_.sequence = 1;
  SetText(dispatch_.accessNumber, accessNumber_);
  // A line cut short before its customer fields still writes its own customer,
  // never the previous line's.
  customer_ = {};
  SetText(customer_.accessNumber, accessNumber_);
  SetText(customer_.account, accessNumber_);
  ridgewayPaymentType_ = 0;
  tankCreated_ = false;
  dispatchInProgress_ = true;
  return kFieldOk;
}

uint8_t Conversion::ReadOrCreateProduct(std::string_view code, schema::ProductRecord& product) {
  uint8_t rc = catalogue_.OpenOrCreateCatalogueFile(FileIndex::Product);
  if (rc != OKV_SUCCESS) {
    Log(Msg::ProductOpenFailed, rc);
    return rc;
  }
  char key[9];
  SetText(key, code);
  rc = OKVReadRecEQ(Handle(FileIndex::Product), 0, key, &product);
  if (rc == OKV_RECORD_NOT_FOUND) {
    product = {};
    SetText(product.code, code);
    SetText(product.description, "Product " + std::string(code));
    product.auxiliaryOutput1 = 1;
    product.auxiliaryOutput2 = 2;
    rc = catalogue_.AddCatalogueRecord(FileIndex::Product, &product);
    if (rc != OKV_SUCCESS) {
      Log(Msg::ProductCreateFailed, rc);
    } else {
      Log(Msg::ProductCreated, schema::FileNameOf(FileIndex::Product), code);
    }
  } else if (rc != OKV_SUCCESS) {
    Log(Msg::ProductReadFailed, rc);
  }
  return rc;
}

uint8_t Conversion::ProductAndTankField(std::string_view text) {
  tankCreated_ = false;
  const std::string_view code = TrimTrailingSpaces(text);
  const uint8_t codeRc = code.empty() ? kRequiredEmpty : code.size() > kProductCodeMax ? kOutOfRange : kFieldOk;
  if (codeRc != kFieldOk) {
    Log(Msg::ProductCodeProblem, codeRc);
    return OKV_OPEN_ERROR;  // the code this field has always reported
  }
  schema::ProductRecord product{};
  const uint8_t productRc = ReadOrCreateProduct(code, product);

  tank_ = {};
  SetText(tank_.cashDiscountCode, "0");
  SetText(tank_.volumeDiscountCode, "0");
  SetText(tank_.accessNumber, accessNumber_);
  SetText(tank_.accessNumberAgain, accessNumber_);
  SetText(tank_.productCode, code);
  const uint8_t tankRc = AddTankForAccount();
  return tankRc != OKV_SUCCESS ? tankRc : productRc;
}

uint8_t Conversion::AddTankForAccount() {
  // Tanks are numbered 1, 2, ... per account: the lowest number not yet taken.
  uint32_t& last = lastTankNumber_[FoldCase(accessNumber_)];
  uint32_t number = last;
  uint8_t rc = OKV_DUPLICATE_KEY;
  for (uint32_t attempt = 0; rc == OKV_DUPLICATE_KEY && attempt < kTankNumberAttempts; ++attempt) {
    SetText(tank_.tankNumber, std::to_string(++number));
    rc = catalogue_.AddCatalogueRecord(FileIndex::Tank, &tank_);
  }
  if (rc != OKV_SUCCESS) {
    Log(Msg::TankCreateFailed, rc);
    return rc;
  }
  last = number;
  tankCreated_ = true;
  SetText(dispatch_.tankNumber, TextOf(tank_.tankNumber));
  return OKV_SUCCESS;
}

void Conversion::ReferenceField(std::string_view text) { SetText(dispatch_.reference, text.substr(0, 10)); }

uint8_t Conversion::PresetField(const Field& field) {
  const uint8_t kind = PresetKindOf(field.recordType);
  dispatch_.presetKind = kind;
  if (field.text.empty()) {
    Log(Msg::PresetEmpty);
    dispatchInProgress_ = false;
    return kRequiredEmpty;
  }
  uint8_t rc = kFieldOk;
  if (kind == schema::kNoPreset) {
    dispatch_.preset.quantity.volume = 0;
    dispatch_.preset.quantity.resolution = schema::kTenths;
  } else if (kind == schema::kPresetPrice) {
    double amount = 0;
    rc = ConvertDouble(field.text, 0, 9999999.99, amount);
    if (rc != kFieldOk) {
      Log(Msg::PresetProblem, rc);
    } else {
      dispatch_.preset.amount = amount;
    }
  } else {
    const std::string volumeText(TrimTrailingSpaces(field.text));
    unsigned decimals = 0;
    uint32_t volume = 0;
    if (!CountDecimals(volumeText, decimals)) {
      rc = kOutOfRange;
      Log(Msg::PresetFormat, rc);
    } else {
      const auto code = static_cast<uint8_t>(decimals == 0 ? 0u : 2 - decimals);
      const double value = DecimalValue(volumeText);
      if (!(value >= 0 && value <= kMaxPresetByCode[code])) {
        rc = kOutOfRange;
        Log(Msg::PresetRange);
      } else if (!IsVolume(volumeText.c_str(), code, &volume)) {
        rc = kWrongType;
        Log(Msg::PresetVolume, rc);
      } else {
        dispatch_.preset.quantity.volume = volume;
        dispatch_.preset.quantity.resolution = code;
      }
    }
  }
  if (rc != kFieldOk) dispatchInProgress_ = false;
  return rc;
}

uint8_t Conversion::UnitPriceField(std::string_view text) {
  constexpr double kFailedPrice = -99.9999;
  double price = kFailedPrice;
  uint8_t rc = kRequiredEmpty;
  if (text.empty()) {
    Log(Msg::UnitPriceEmpty);
  } else {
    rc = ConvertDouble(text, -99.9999, 99.9999, price);
    if (rc != kFieldOk) {
      Log(Msg::UnitPriceProblem, rc);
      price = kFailedPrice;
    }
  }
  dispatch_.unitPrice = price;
  return rc;
}

uint8_t Conversion::OptionalTextField(std::string_view text, char* target, size_t targetSize, size_t maximum,
                                      Msg problem) {
  if (TrimTrailingSpaces(text).empty()) return kFieldOk;
  const uint8_t rc = ConvertTextSpan(text, target, targetSize, std::min(maximum, targetSize - 1));
  if (rc != kFieldOk) Log(problem, rc);
  return rc;
}

uint8_t Conversion::RequiredAmountField(std::string_view text, double minimum, double maximum, Msg empty, Msg problem,
                                        double& target) {
  target = 0;
  if (text.empty()) {
    Log(empty);
    return kRequiredEmpty;
  }
  const uint8_t rc = ConvertDouble(text, minimum, maximum, target);
  if (rc != kFieldOk) {
    Log(problem, rc);
    target = 0;
  }
  return rc;
}

uint8_t Conversion::MiscellaneousField(std::string_view text, bool alwaysCharge) {
  if (officeConfig_.expandedMiscellaneous && !alwaysCharge) {
    return OptionalTextField(text, tank_.miscTransactionCode, sizeof tank_.miscTransactionCode, 8,
                             Msg::MiscTransactionFieldProblem);
  }
  double charge = 0;
  const uint8_t rc = RequiredAmountField(text, -999.99, 999.99, Msg::MiscChargeEmpty, Msg::MiscChargeProblem, charge);
  tank_.miscellaneousCharge = charge;
  return rc;
}

uint8_t Conversion::BeginningBalanceField(std::string_view text) {
  if (text.empty()) {
    Log(Msg::BalanceEmpty);
    return kRequiredEmpty;
  }
  custAcct_ = {};
  SetText(custAcct_.accessNumber, accessNumber_);
  double balance = 0;
  uint8_t rc = ConvertDouble(text, -999999.99, 999999.99, balance);
  if (rc != kFieldOk) {
    Log(Msg::BalanceProblem, rc);
    return rc;
  }
  custAcct_.balance = balance;
  const char* name = schema::FileNameOf(FileIndex::CustAcct);
  rc = catalogue_.AddCatalogueRecord(FileIndex::CustAcct, &custAcct_);
  if (rc == OKV_DUPLICATE_KEY) {
    schema::CustAcctRecord existing{};
    rc = OKVReadRecEQ(Handle(FileIndex::CustAcct), 0, custAcct_.accessNumber, &existing);
    if (rc != OKV_SUCCESS) {
      Log(Msg::ExistingReadFailed, name, rc);
      return rc;
    }
    rc = OKVUpdateRec(Handle(FileIndex::CustAcct), &custAcct_);
    if (rc != OKV_SUCCESS) Log(Msg::UpdateRecordFailed, name, rc);
  } else if (rc != OKV_SUCCESS) {
    Log(Msg::CreateRecordFailed, name, rc);
  }
  return rc;
}

uint8_t Conversion::RewriteTank(Msg failure) {
  // Only this line's own tank is rewritten; without one, the handle's current
  // record would be an earlier line's tank.
  if (!tankCreated_) return kFieldOk;
  const uint8_t rc = OKVUpdateRec(Handle(FileIndex::Tank), &tank_);
  if (rc != OKV_SUCCESS) Log(failure, schema::FileNameOf(FileIndex::Tank), rc);
  return rc;
}

uint8_t Conversion::ChargeLabelField(std::string_view text) {
  const uint8_t labelRc = OptionalTextField(text, tank_.chargeLabelOrReference, sizeof tank_.chargeLabelOrReference, 16,
                                            Msg::ChargeLabelProblem);
  const uint8_t rewriteRc = RewriteTank(Msg::TankUpdateFailed);
  return labelRc != kFieldOk ? labelRc : rewriteRc;
}

uint8_t Conversion::CustomerAccountField(std::string_view text) {
  customer_ = {};
  SetText(customer_.accessNumber, accessNumber_);
  const std::string_view account = TrimTrailingSpaces(text);
  if (account.size() > sizeof customer_.account - 1) return kOutOfRange;
  SetText(customer_.account, account.empty() ? std::string_view(accessNumber_) : account);
  return kFieldOk;
}

void Conversion::NameField(std::string_view text, bool printNameOnly) {
  const std::string_view name = text.substr(0, kNameMax);
  SetText(customer_.printName, name);
  if (!printNameOnly) SetText(customer_.searchName, name);
}

uint8_t Conversion::CityLineField(std::string_view text) {
  if (!config_.parseAddress) {
    SetText(customer_.address2, text.substr(0, kNameMax));
    return kFieldOk;
  }
  const std::string_view line = TrimTrailingSpaces(text);
  const size_t comma = line.find(',');
  if (comma == std::string_view::npos) {
    if (line.size() > kCityMax) {
      SetText(customer_.address2, line.substr(0, kNameMax));
    } else {
      SetText(customer_.city, line);
    }
    return kFieldOk;
  }
  SetText(customer_.city, line.substr(0, std::min(comma, kCityMax)));
  const size_t state = std::min(line.find_first_not_of(' ', comma + 1), line.size());
  SetText(customer_.state, line.substr(state, 2));
  const std::string_view zip = state + 3 < line.size() ? line.substr(state + 3) : std::string_view();
  if (zip.size() > sizeof customer_.zip - 1) return kOutOfRange;  // refused, never cut
  SetText(customer_.zip, zip);
  return kFieldOk;
}

void Conversion::DirectionsFirstField(std::string_view text) {
  if (text.empty()) return;
  SetText(customer_.directions, text.substr(0, kDirectionsMax));
}

uint8_t Conversion::DirectionsMoreField(std::string_view text) {
  if (text.empty()) return kFieldOk;
  const std::string_view existing = TextOf(customer_.directions);
  if (existing.size() + text.size() > kDirectionsMax) {
    Log(Msg::DirectionsTooLong);
    return kOutOfRange;
  }
  SetText(customer_.directions, std::string(existing) + std::string(text));
  return kFieldOk;
}

uint8_t Conversion::FinishCustomer(bool alwaysWritesAccount) {
  // The last line for an account gives its customer record.
  uint8_t customerRc = catalogue_.AddCatalogueRecord(FileIndex::Customer, &customer_);
  if (customerRc == OKV_DUPLICATE_KEY) {
    const uint16_t handle = Handle(FileIndex::Customer);
    schema::CustomerRecord existing{};
    customerRc = OKVReadRecEQ(handle, 0, customer_.accessNumber, &existing);
    if (customerRc != OKV_SUCCESS) {
      Log(Msg::CustomerReadFailed, customerRc);
    } else if ((customerRc = OKVDeleteRec(handle)) != OKV_SUCCESS) {
      Log(Msg::CustomerDeleteFailed, customerRc);
    } else if ((customerRc = OKVCreateRec(handle, &customer_)) != OKV_SUCCESS) {
      Log(Msg::CustomerCreateFailed, customerRc);
    }
  } else if (customerRc != OKV_SUCCESS) {
    Log(Msg::CustomerCreateFailed, customerRc);
  }

  if (config_.beginningBalance && !alwaysWritesAccount) return customerRc;  // the balance field wrote it
  custAcct_ = {};
  custAcct_.paymentType = ridgewayPaymentType_;
  SetText(custAcct_.accessNumber, accessNumber_);
  const uint8_t accountRc = catalogue_.AddCatalogueRecord(FileIndex::CustAcct, &custAcct_);
  if (accountRc != OKV_SUCCESS) {
    Log(Msg::CustAcctCreateFailed, accountRc);
    return accountRc;
  }
  return customerRc;
}

uint8_t Conversion::WriteDispatch(Msg failure, bool withAccessNumber) {
  const uint8_t rc = catalogue_.AddCatalogueRecord(FileIndex::Dispatch, &dispatch_);
  if (rc != OKV_SUCCESS && rc != OKV_DUPLICATE_KEY) {
    const char* name = schema::FileNameOf(FileIndex::Dispatch);
    if (withAccessNumber) {
      Log(failure, name, accessNumber_, rc);
    } else {
      Log(failure, name, rc);
    }
  }
  return rc;
}

uint8_t Conversion::TaxValueField(int position, std::string_view text) {
  return ConvertTaxValue(position, text, dispatch_.taxCode, TaxRangeRule::ByDefinition);
}

uint8_t Conversion::FeaturePriceField(std::string_view text) {
  const bool netPrice = config_.customFeature == schema::kFeatureNetPrice;
  double price = 0;
  const uint8_t rc = netPrice ? RequiredAmountField(text, -99.9999, 99.9999, Msg::DeviationPriceEmpty,
                                                    Msg::DeviationPriceProblem, price)
                              : RequiredAmountField(text, -99.9999, 99.9999, Msg::DiscountPerUnitEmpty,
                                                    Msg::DiscountPerUnitProblem, price);
  if (netPrice) {
    dispatch_.feature.netPrice.deviationPrice = price;
  } else {
    dispatch_.feature.quenby.discountPerUnit = price;
  }
  // The ninth tax of these lines carries no rate of its own.
  const uint8_t taxRc = TaxValueField(9, "0");
  return rc != kFieldOk ? rc : taxRc;
}

uint32_t Conversion::StandardTrailingFieldNumber(uint32_t field) const {
  // The fields after the miscellaneous field, on one scale whatever the flags:
  // the optional balance (21) and compliance charge (22) come first when their
  // flags are set, then the label (23) and the customer fields.
  const uint32_t lastFixedField = config_.taxStructure == schema::kImportTaxStructures ? 12 : 20;
  uint32_t k = field - lastFixedField;
  if (config_.beginningBalance) {
    if (k == 1) return 21;
    --k;
  }
  if (config_.complianceCharge) {
    if (k == 1) return 22;
    --k;
  }
  return 22 + k;
}

uint8_t Conversion::HandleStandardLayout(const Field& field) {
  if (field.number == 4) return AccessNumberField(field.text, false);
  if (!dispatchInProgress_) return kFieldOk;
  const std::string_view text = field.text;
  const bool importTaxes = config_.taxStructure == schema::kImportTaxStructures;
  const bool featurePrice =
      config_.customFeature == schema::kFeatureNetPrice || config_.customFeature == schema::kFeatureQuenby;
  const uint32_t lastFixedField = importTaxes ? 12 : 20;
  auto writeDispatch = [this, importTaxes]() -> uint8_t {
    const uint8_t rc = WriteDispatch(importTaxes ? Msg::DispatchCreateFailedForAccess : Msg::DispatchCreateFailed, importTaxes);
    if (rc != OKV_SUCCESS) dispatchInProgress_ = false;
    return rc == OKV_DUPLICATE_KEY ? kFieldOk : rc;  // a second dispatch for a tank is dropped silently
  };

  if (!field.endOfRecord && field.number <= lastFixedField) {
    const uint32_t miscField = lastFixedField;
    switch (field.number) {
      case 5: return ProductAndTankField(text);
      case 6: ReferenceField(text); return kFieldOk;
      case 7: return PresetField(field);
      case 8: return UnitPriceField(text);
      default: break;
    }
    if (field.number == miscField - 2) {
      return OptionalTextField(text, tank_.volumeDiscountCode, sizeof tank_.volumeDiscountCode, 8, Msg::VolumeEnableProblem);
    }
    if (field.number == miscField - 1) {
      return OptionalTextField(text, tank_.cashDiscountCode, sizeof tank_.cashDiscountCode, 8, Msg::CashCategoryProblem);
    }
    if (field.number == miscField) return MiscellaneousField(text, false);
    if (importTaxes) {  // field 9: the tax code of an imported tax structure
      if (text.empty()) {
        Log(Msg::TaxCodeEmpty);
        return kRequiredEmpty;
      }
      const uint8_t rc = ConvertText(text, dispatch_.taxCode, 8);
      if (rc != kFieldOk) {
        Log(Msg::TaxCodeProblem, rc);
        return rc;
      }
      return writeDispatch();
    }
    const int position = static_cast<int>(field.number) - 8;  // fields 9 to 17
    const uint8_t rc = position == 9 && featurePrice ? FeaturePriceField(text) : TaxValueField(position, text);
    if (position == 9 && rc == kFieldOk) return writeDispatch();
    return rc;
  }

  const bool featureTorvane = config_.customFeature == schema::kFeatureTorvane;
  const uint32_t n = field.endOfRecord ? kEndOfRecordField : StandardTrailingFieldNumber(field.number);
  switch (n) {
    case 21: return BeginningBalanceField(text);
    case 22:
      return OptionalTextField(text, tank_.miscTransactionCode, sizeof tank_.miscTransactionCode, 8, Msg::ComplianceProblem);
    case 23: return ChargeLabelField(text);
    case 24: return CustomerAccountField(text);
    case 25: NameField(text, featureTorvane); return kFieldOk;
    case 26: return OptionalTextField(text, customer_.address1, sizeof customer_.address1, 35, Msg::StreetProblem);
    case 27: return CityLineField(text);
    case 28:
      if (featureTorvane) {
        SetText(customer_.searchName, text.substr(0, kNameMax));
      } else {
        DirectionsFirstField(text);
      }
      return kFieldOk;
    case 29:
      if (featureTorvane) {
        DirectionsFirstField(text);
        return kFieldOk;
      }
      return DirectionsMoreField(text);
    case 30: return DirectionsMoreField(text);
    case 31: case 32:
      if (field.recordType >= 43) return DirectionsMoreField(text);
      break;
    case kEndOfRecordField: {
      const uint8_t rc = DirectionsMoreField(text);
      const uint8_t finishRc = FinishCustomer(false);
      return rc != kFieldOk ? rc : finishRc;
    }
    default: break;
  }
  Log(Msg::TooManyDispatchFields);
  return kTooManyFields;
}

uint8_t Conversion::TicketSelectionsField(std::string_view text) {
  uint8_t message = 0;
  uint8_t header = 0;
  uint8_t rc = kFieldOk;
  if (text.size() >= 2) {
    rc = ConvertByte(text.substr(1, 1), 0, 3, message);
    if (rc != kFieldOk) {
      Log(Msg::TicketMessageProblem, rc);
      message = 0;
    }
    if (text.size() >= 3) {
      const uint8_t headerRc = ConvertByte(text.substr(2, 1), 0, 9, header);
      if (headerRc != kFieldOk) {
        Log(Msg::TicketHeaderProblem, headerRc);
        header = 0;
        if (rc == kFieldOk) rc = headerRc;
      }
    }
  }
  dispatch_.feature.ridgeway.ticketMessage = message;
  customer_.ticketHeader = header;
  return rc;
}

uint8_t Conversion::PermitsAndLocationField(std::string_view text) {
  auto& ridgeway = dispatch_.feature.ridgeway;
  SetText(ridgeway.permit1, text.substr(0, 10));
  if (text.size() > 10) SetText(ridgeway.permit2, text.substr(10, 10));
  if (text.size() > 20) SetText(tank_.location, text.substr(20, 3));
  return RewriteTank(Msg::RidgewayTankUpdateFailed);
}

uint8_t Conversion::HandleRidgewayLayout(const Field& field) {
  if (field.number == 4 && !field.endOfRecord) return AccessNumberField(field.text, true);
  if (!dispatchInProgress_) return kFieldOk;
  const std::string_view text = field.text;
  if (field.endOfRecord) {
    const uint8_t selectionRc = TicketSelectionsField(text);
    const uint8_t rc = WriteDispatch(Msg::RidgewayDispatchCreateFailed, false);
    if (rc == OKV_DUPLICATE_KEY) return selectionRc;  // the line ends without its customer
    if (rc != OKV_SUCCESS) return rc;
    const uint8_t finishRc = FinishCustomer(true);
    return selectionRc != kFieldOk ? selectionRc : finishRc;
  }
  const uint32_t n = field.number;
  if (n >= 11 && n <= 18) {
    // The first tax of these lines is always zero; the line carries taxes 2 to 9.
    const uint8_t firstRc = n == 11 ? TaxValueField(1, "0.0") : kFieldOk;
    const uint8_t rc = TaxValueField(static_cast<int>(n) - 9, text);
    return firstRc != kFieldOk ? firstRc : rc;
  }
  if (n >= 19 && n <= 23) {
    double rate = 0;
    const uint8_t rc = RequiredAmountField(text, -99.9999, 99.9999, Msg::DiscountEmpty, Msg::DiscountProblem, rate);
    dispatch_.feature.ridgeway.discountRates[n - 19].value = rate;
    return rc;
  }
  switch (n) {
    case 5: return ProductAndTankField(text);
    case 6: ReferenceField(text); return kFieldOk;
    case 7: return PresetField(field);
    case 8: {
      double kilometers = 0;
      const uint8_t rc = RequiredAmountField(text, 0, 1000000, Msg::KilometersEmpty, Msg::KilometersProblem, kilometers);
      tank_.kilometers = kilometers;
      return rc;
    }
    case 9: {
      custAcct_ = {};
      double paymentType = 0;
      const uint8_t rc = RequiredAmountField(text, 0, 7, Msg::PaymentTypeEmpty, Msg::PaymentTypeProblem, paymentType);
      ridgewayPaymentType_ = static_cast<uint8_t>(paymentType);
      return rc;
    }
    case 10: return UnitPriceField(text);
    case 24:
      return OptionalTextField(text, tank_.volumeDiscountCode, sizeof tank_.volumeDiscountCode, 8, Msg::VolumeEnableProblem);
    case 25:
      return OptionalTextField(text, tank_.cashDiscountCode, sizeof tank_.cashDiscountCode, 8, Msg::CashCategoryProblem);
    case 26: return MiscellaneousField(text, true);
    case 27:
      return OptionalTextField(text, tank_.chargeLabelOrReference, sizeof tank_.chargeLabelOrReference, 16,
                               Msg::ChargeLabelProblem);
    case 28: return CustomerAccountField(text);
    case 29: NameField(text, false); return kFieldOk;
    case 30: return OptionalTextField(text, customer_.address1, sizeof customer_.address1, 35, Msg::StreetProblem);
    case 31: return CityLineField(text);
    case 32:
      return OptionalTextField(text, customer_.purchaseOrderOrCounty, sizeof customer_.purchaseOrderOrCounty, 24,
                               Msg::PurchaseOrderProblem);
    case 33:
      return OptionalTextField(text, customer_.referenceOrWorkOrder, sizeof customer_.referenceOrWorkOrder, 8,
                               Msg::CustomerReferenceProblem);
    case 34: DirectionsFirstField(text); return kFieldOk;
    case 35: return DirectionsMoreField(text);
    case 36: return PermitsAndLocationField(text);
    default: break;
  }
  Log(Msg::TooManyDispatchFields);
  return kTooManyFields;
}

uint8_t Conversion::HandleCorlanLayout(const Field& field) {
  if (field.number == 4 && !field.endOfRecord) return AccessNumberField(field.text, false);
  if (!dispatchInProgress_) return kFieldOk;
  const std::string_view text = field.text;
  if (field.endOfRecord) {
    auto& corlan = tank_.tail.corlan;
    const uint8_t rc = OptionalTextField(text, corlan.remarks2, sizeof corlan.remarks2, 24, Msg::RemarksSecondProblem);
    const uint8_t rewriteRc = RewriteTank(Msg::TankUpdateFailed);
    const uint8_t finishRc = FinishCustomer(true);
    return rc != kFieldOk ? rc : rewriteRc != kFieldOk ? rewriteRc : finishRc;
  }
  const uint32_t n = field.number;
  if (n >= 9 && n <= 17) return TaxValueField(static_cast<int>(n) - 8, text);
  switch (n) {
    case 5: return ProductAndTankField(text);
    case 6: ReferenceField(text); return kFieldOk;
    case 7: return PresetField(field);
    case 8: return UnitPriceField(text);
    case 18:
      return OptionalTextField(text, tank_.volumeDiscountCode, sizeof tank_.volumeDiscountCode, 8, Msg::VolumeEnableProblem);
    case 19: {
      double surcharge = 0;
      const uint8_t rc = RequiredAmountField(text, -99.9999, 99.9999, Msg::SurchargeEmpty, Msg::SurchargeProblem, surcharge);
      dispatch_.feature.corlan.surchargeRate = surcharge;
      const uint8_t writeRc = WriteDispatch(Msg::DispatchCreateFailed, false);
      if (writeRc != OKV_SUCCESS) dispatchInProgress_ = false;
      return rc != kFieldOk ? rc : writeRc == OKV_DUPLICATE_KEY ? kFieldOk : writeRc;
    }
    case 20:
      return OptionalTextField(text, tank_.miscTransactionCode, sizeof tank_.miscTransactionCode, 8,
                               Msg::MiscTransactionFieldProblem);
    case 21:
      return OptionalTextField(text, tank_.tail.corlan.remarks1, sizeof tank_.tail.corlan.remarks1, 24,
                               Msg::RemarksFirstProblem);
    case 22: return CustomerAccountField(text);
    case 23: NameField(text, false); return kFieldOk;
    case 24: return OptionalTextField(text, customer_.address1, sizeof customer_.address1, 35, Msg::StreetProblem);
    case 25: return CityLineField(text);
    case 26:
      return OptionalTextField(text, tank_.tail.corlan.dispatchMessage, sizeof tank_.tail.corlan.dispatchMessage, 40,
                               Msg::DispatchMessageProblem);
    default: break;
  }
  Log(Msg::TooManyDispatchFields);
  return kTooManyFields;
}

uint8_t Conversion::HandleHaldenPryceLayout(const Field& field) {
  if (field.number == 4 && !field.endOfRecord) return AccessNumberField(field.text, false);
  if (!dispatchInProgress_) return kFieldOk;
  const std::string_view text = field.text;
  auto& haldenPryce = dispatch_.feature.haldenPryce;
  if (field.endOfRecord) {
    const uint8_t rc = OptionalTextField(text, haldenPryce.tankSize, sizeof haldenPryce.tankSize, 21, Msg::TankSizeProblem);
    uint8_t writeRc = WriteDispatch(Msg::HaldenPryceDispatchCreateFailed, false);
    if (writeRc == OKV_DUPLICATE_KEY) writeRc = kFieldOk;
    // These lines carry no balance field, so the account is written here whatever the flag says.
    const uint8_t finishRc = FinishCustomer(true);
    return rc != kFieldOk ? rc : writeRc != kFieldOk ? writeRc : finishRc;
  }
  const uint32_t n = field.number;
  if (n >= 9 && n <= 17) return TaxValueField(static_cast<int>(n) - 8, text);
  if (n >= 28 && n <= 31) return DirectionsMoreField(text);
  switch (n) {
    case 5: return ProductAndTankField(text);
    case 6: ReferenceField(text); return kFieldOk;
    case 7: return PresetField(field);
    case 8: return UnitPriceField(text);
    case 18:
      return OptionalTextField(text, tank_.volumeDiscountCode, sizeof tank_.volumeDiscountCode, 8, Msg::VolumeEnableProblem);
    case 19:
      return OptionalTextField(text, tank_.cashDiscountCode, sizeof tank_.cashDiscountCode, 8, Msg::CashCategoryProblem);
    case 20: {
      double charge = 0;
      const uint8_t rc = RequiredAmountField(text, -999.99, 999.99, Msg::FlatChargeEmpty, Msg::FlatChargeProblem, charge);
      haldenPryce.flatDeliveryCharge = charge;
      return rc;
    }
    case 21: {
      double charge = 0;
      const uint8_t rc =
          RequiredAmountField(text, -99.9999, 99.9999, Msg::PerUnitChargeEmpty, Msg::PerUnitChargeProblem, charge);
      haldenPryce.perUnitDeliveryCharge = charge;
      return rc;
    }
    case 22: return CustomerAccountField(text);
    case 23: NameField(text, false); return kFieldOk;
    case 24: return OptionalTextField(text, customer_.address1, sizeof customer_.address1, 35, Msg::StreetProblem);
    case 25: return CityLineField(text);
    case 26:
      return OptionalTextField(text, customer_.purchaseOrderOrCounty, sizeof customer_.purchaseOrderOrCounty, 24,
                               Msg::CountyProblem);
    case 27: DirectionsFirstField(text); return kFieldOk;
    case 32:
      return OptionalTextField(text, customer_.referenceOrWorkOrder, sizeof customer_.referenceOrWorkOrder, 8,
                               Msg::WorkOrderProblem);
    case 33: {
      const uint8_t rc = OptionalTextField(text, tank_.chargeLabelOrReference, sizeof tank_.chargeLabelOrReference, 16,
                                           Msg::TankReferenceProblem);
      const uint8_t rewriteRc = RewriteTank(Msg::TankUpdateFailed);
      return rc != kFieldOk ? rc : rewriteRc;
    }
    default: break;
  }
  Log(Msg::TooManyDispatchFields);
  return kTooManyFields;
}

}  // namespace trk::tqload
