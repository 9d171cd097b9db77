// The two message tables. The console converter's wordings are the log file's
// (without line ends); the office program lists the same messages except for the
// overrides below, which are every wording in which it differs.
#include "tqload/messages.h"

#include <array>
#include <cstdio>
#include <utility>

namespace trk::tqload {

namespace {

using Entry = std::pair<Msg, const char*>;
using Table = std::array<const char*, kMessageCount>;

constexpr Entry kConsoleEntries[] = {
    {Msg::SourceFromCommandLine, "Source file was passed via the command line."},
    {Msg::SourceFile, "Source file: %s"},
    {Msg::SourceOpenFailed, "Could not open source file. File conversion aborted."},
    {Msg::ConfigOpenFailed, "Could not open %s file. rc = %u"},
    {Msg::ConfigReadFailed, "Could not read %s file. rc = %u"},
    {Msg::ConversionAborted, "File conversion aborted."},
    {Msg::ConfigCreateFailed, "%s file was not found. Could not create a default record. rc = %u"},
    {Msg::ConfigCreated, "%s file was not found, so a file with a default record in it was created."},
    {Msg::ConfigCloseFailed, "Error occurred while closing %s file. rc = %u"},
    {Msg::OfficeConfigCloseFailed, "Error occurred while closing %s. rc = %u"},
    {Msg::DeleteOldFailed, "Could not delete old %s. rc=%u"},
    {Msg::TaxConfigOpenFailed, "Could not open the tax configuration file. rc = %u"},
    {Msg::TaxConfigReadFailed, "Could not read the tax configuration record. rc = %u"},
    {Msg::SafeWritesOffFailed, "Could not turn off safe-writes for %s. rc = %u"},
    {Msg::OpenFailed, "Could not open %s. rc = %u"},
    {Msg::OpenFailedAborted, "Could not open %s. File conversion aborted. rc = %u"},
    {Msg::GeneralLedgerOpenFailed, "Could not open %s. rc=%u"},
    {Msg::GeneralLedgerSafeWritesOffFailed, "Could not turn off safe-writes for %s. rc=%u"},
    {Msg::GeneralLedgerAborted, nullptr},
    {Msg::CloseProductFailed, "Could not close %s. rc = %u"},
    {Msg::CloseTaxFailed, "Could not close %s. rc = %u"},
    {Msg::CloseTaxCodeFailed, "Could not close %s. rc = %u"},
    {Msg::CloseTaxConfigFailed, "Could not close the tax configuration file. rc = %u"},
    {Msg::CloseCashFailed, "Could not close %s. rc = %u"},
    {Msg::CloseCustAcctFailed, "Could not close %s. rc = %u"},
    {Msg::CloseCustomerFailed, "Could not close %s. rc = %u"},
    {Msg::CloseDispatchFailed, "Could not close %s. rc = %u"},
    {Msg::CloseTankFailed, "Could not close %s. rc = %u"},

    {Msg::NoRecordType, "Line %u does not have a record type."},
    {Msg::RecordTypeProblem, "Line %u has a problem with the record type %s, rc = %u."},
    {Msg::RecordFormatUpdateFailed, "Could not update record format in %s, rc = %u."},
    {Msg::NumericCountEmpty, "Line %u quantity of numeric fields is empty."},
    {Msg::NumericCountProblem, "Line %u has a problem with the quantity of numeric fields %s, rc = %u."},
    {Msg::AlphaCountEmpty, "Line %u quantity of alpha-numeric fields is empty."},
    {Msg::AlphaCountProblem, "Line %u has a problem with the quantity of alpha-numeric fields %s, rc = %u"},
    {Msg::TaxFieldCountInvalid, "Line %u has an invalid number of tax fields, %s, in its %s setup record, rc = %u"},
    {Msg::FieldContents, "Field contents: %s, line %u, field %d, rc = %u."},
    {Msg::CompletedDeliveryRecord, "Line %u is a completed delivery record, not a dispatch or setup record."},
    {Msg::UnrecognizedRecordType, "Unrecognized record type: %u on line: %u."},
    {Msg::TaxStructureUpdateFailed, "Could not change setting in %s file for tax structure importation. rc = %u"},

    {Msg::AccessNumberEmpty, "The access number field should not be empty."},
    {Msg::AccessNumberProblem, "There was a problem with the access number field. rc = %u"},
    {Msg::ProductCodeProblem, "There is a problem with the product code. rc = %u"},
    {Msg::ProductOpenFailed, "Could not open product file. rc = %u"},
    {Msg::ProductCreateFailed, "Could not create a record in the product file. rc = %u"},
    {Msg::ProductReadFailed, "Could not read record from product file. rc = %u"},
    {Msg::ProductCreated, nullptr},
    {Msg::TankCreateFailed, "Could not create a Tank record. rc = %u"},
    {Msg::PresetEmpty, "The preset field should not be empty."},
    {Msg::PresetFormat, "There was a problem with the format of the preset field. rc = %u"},
    {Msg::PresetRange, "The preset volume was out of range."},
    {Msg::PresetVolume, "The preset field could not be converted to a volume amount due to a format problem. rc = %u"},
    {Msg::PresetProblem, "There was a problem with the preset field. rc = %u"},
    {Msg::UnitPriceEmpty, "The unit price field should not be empty."},
    {Msg::UnitPriceProblem, "There was a problem with the unit price field. rc = %u"},
    {Msg::VolumeEnableProblem, "There was a problem with the volume enable field. rc = %u"},
    {Msg::CashCategoryProblem, "There was a problem with the cash discount category field. rc = %u"},
    {Msg::MiscTransactionFieldProblem, "There was a problem with the miscellaneous transaction field. rc = %u"},
    {Msg::MiscChargeEmpty, "The miscellaneous charge field should not be empty."},
    {Msg::MiscChargeProblem, "There was a problem with the miscellaneous charge field. rc = %u"},
    {Msg::BalanceEmpty, "The beginning balance field should not be empty."},
    {Msg::BalanceProblem, "There is a problem with the beginning balance field. rc = %u"},
    {Msg::ExistingReadFailed, "Could not read existing %s record. rc = %u"},
    {Msg::UpdateRecordFailed, "Could not update %s record. rc = %u"},
    {Msg::CreateRecordFailed, "Could not create a %s record. rc = %u"},
    {Msg::ComplianceProblem, "There was a problem with the regulatory compliance charge enable. rc = %u"},
    {Msg::ChargeLabelProblem, "There was a problem with the miscellaneous charge label field. rc = %u"},
    {Msg::TankUpdateFailed, "Could not update the %s record. rc = %u"},
    {Msg::StreetProblem, "There was a problem with the street address field. rc = %u"},
    {Msg::DirectionsTooLong, "The contents of the directions fields are too long."},
    {Msg::CustomerReadFailed, "Could not read existing Customer record. rc = %u"},
    {Msg::CustomerDeleteFailed, "Could not delete existing Customer record. rc = %u"},
    {Msg::CustomerCreateFailed, "Could not create a Customer record. rc = %u"},
    {Msg::CustAcctCreateFailed, "Could not create a CustAcct record. rc = %u"},
    {Msg::TaxCodeEmpty, "The tax code field should not be empty."},
    {Msg::TaxCodeProblem, "There was a problem with the tax code field. rc = %u"},
    {Msg::DispatchCreateFailed, "Could not create %s record. rc = %u"},
    {Msg::DispatchCreateFailedForAccess, "Could not create %s record for access # %s. rc = %u"},
    {Msg::DeviationPriceEmpty, "The deviation price field should not be empty."},
    {Msg::DiscountPerUnitEmpty, "The discount per unit field should not be empty."},
    {Msg::DeviationPriceProblem, "is a problem with the deviation price field. rc = %u"},
    {Msg::DiscountPerUnitProblem, "is a problem with the discount per unit field. rc = %u"},
    {Msg::TooManyDispatchFields, "There are too many fields in the dispatch record."},
    {Msg::KilometersEmpty, "The kilometers field should not be empty."},
    {Msg::KilometersProblem, "There was a problem with the kilometers field. rc = %u"},
    {Msg::PaymentTypeEmpty, "The payment type field should not be empty."},
    {Msg::PaymentTypeProblem, "There was a problem with the payment type field. rc = %u"},
    {Msg::DiscountEmpty, "The discount field should not be empty."},
    {Msg::DiscountProblem, "There was a problem with the discount field. rc = %u"},
    {Msg::PurchaseOrderProblem, "There was a problem with the customer P.O. #. rc = %u"},
    {Msg::CustomerReferenceProblem, "There was a problem with the customer reference. rc = %u"},
    {Msg::RidgewayTankUpdateFailed, "Could not update the Tank record. rc = %u"},
    {Msg::TicketMessageProblem, "There is a problem with the ticket message selection. rc = %u"},
    {Msg::TicketHeaderProblem, "There is a problem with the ticket header selection. rc = %u"},
    {Msg::RidgewayDispatchCreateFailed, "Could not create Dispatch record. rc = %u"},
    {Msg::SurchargeEmpty, "The surcharge field should not be empty."},
    {Msg::SurchargeProblem, "There was a problem with the surcharge field. rc = %u"},
    {Msg::RemarksFirstProblem, "There was a problem with the first remarks line field. rc = %u"},
    {Msg::DispatchMessageProblem, "There was a problem with the message field. rc = %u"},
    {Msg::RemarksSecondProblem, "There was a problem with the second remarks line field. rc = %u"},
    {Msg::FlatChargeEmpty, "The flat delivery charge field should not be empty."},
    {Msg::FlatChargeProblem, "There is a problem with the flat delivery charge field. rc = %u"},
    {Msg::PerUnitChargeEmpty, "The per unit delivery charge field should not be empty."},
    {Msg::PerUnitChargeProblem, "There is a problem with the per unit delivery charge field. rc = %u"},
    {Msg::CountyProblem, "There is a problem with the customer county field. rc = %u"},
    {Msg::WorkOrderProblem, "There is a problem with the work order # field. rc = %u"},
    {Msg::TankReferenceProblem, "There is a problem with the tank reference field. rc = %u"},
    {Msg::TankSizeProblem, "There is a problem with the tank size field. rc = %u"},
    {Msg::HaldenPryceDispatchCreateFailed, "Could not create the %s record. rc = %u"},

    {Msg::DefaultTaxConfigFailed, "Default tax configuration record could not be created. rc = %u"},
    {Msg::DeleteTaxFileFailed, "Could not delete the tax file. rc = %u"},
    {Msg::CreateTaxFileFailed, "Could not create and open the tax file. rc = %u"},
    {Msg::DeleteTaxCodeFileFailed, "Could not delete the tax code file. rc = %u"},
    {Msg::CreateTaxCodeFileFailed, "Could not create and open the tax code file. rc = %u"},
    {Msg::TaxSafeWritesFailed, "Could not turn safe-writes off for the tax file. rc = %u"},
    {Msg::TaxCodeSafeWritesFailed, "Could not turn safe-writes off for the tax code file. rc = %u"},
    {Msg::AllocTax, "Could not allocate space for tax record."},
    {Msg::AllocTaxCode, "Could not allocate space for tax code record."},
    {Msg::ReadMatchingTaxFailed, "Could not read matching %s record, rc = %u"},
    {Msg::AllocFirstTax, "Could not allocate space for first tax record."},
    {Msg::AllocSecondTax, "Could not allocate space for second tax record."},
    {Msg::CreateTaxFailed, "Could not create %s record, rc = %u"},
    {Msg::TaxOnTaxUninitialised, "The %s record with a reference ID of %s needs to have its tax-on-tax settings initialized."},
    {Msg::ReadMatchingTaxCodeFailed, "Could not read matching tax code record. rc = %u"},
    {Msg::CreateTaxCodeFailed, "Could not create tax code record. rc = %u"},
    {Msg::AllocFirstTaxCode, "Could not allocate space for first tax code record."},
    {Msg::AllocSecondTaxCode, "Could not allocate space for second tax code record."},
    {Msg::TaxFieldEmpty, "The tax field should not be empty."},
    {Msg::PercentTaxProblem, "There was a problem with a %% tax field. rc = %u"},
    {Msg::PerUnitTaxProblem, "There was a problem with a per-unit or surcharge tax field. rc = %u"},
    {Msg::LedgerTaxCodeCreateFailed, "A new tax code record could not be created. rc = %u"},
    {Msg::LedgerTaxCodeReadFailed, "The corresponding tax code record could not be read. rc = %u"},

    {Msg::BasePriceProductEmpty, "The product code field should not be empty."},
    {Msg::BasePriceProductProblem, "A problem occurred while processing the product code. rc = %u"},
    {Msg::BasePriceEmpty, "The price per unit volume field should not be empty."},
    {Msg::BasePriceProblem, "There is a problem with the price per unit volume field. rc = %u"},
    {Msg::ProductUpdateFailed, "Could not update product record. rc = %u"},
    {Msg::BasePricePercentTaxProblem, "There is a problem with a %% tax field. rc = %u"},
    {Msg::BasePricePerUnitTaxProblem, "There is a problem with a per-unit tax field. rc = %u"},
    {Msg::BasePriceTaxEmpty, "The tax field field should not be empty."},
    {Msg::BasePriceTooMany, "Unrecognized field in base price record."},

    {Msg::FirstLevelEmpty, "The first volume level field was empty."},
    {Msg::SecondLevelEmpty, "The second volume level field was empty."},
    {Msg::ThirdLevelEmpty, "The third volume level field was empty."},
    {Msg::PerUnitDiscount1Empty, "The per unit volume discount for category 1 was empty."},
    {Msg::PerUnitDiscount2Empty, "The per unit volume discount for category 2 was empty."},
    {Msg::PerUnitDiscount3Empty, "The per unit volume discount for category 3 was empty."},
    {Msg::PerUnitDiscount1Problem, "There was a problem with the per unit volume discount for category 1. rc = %u"},
    {Msg::PerUnitDiscount2Problem, "There was a problem with the per unit volume discount for category 2. rc = %u"},
    {Msg::PerUnitDiscount3Problem, "There was a problem with the per unit volume discount for category 3. rc = %u"},
    {Msg::LevelsOutOfRange, "One or more of the volume level field(s) was out of range. A volume discount record was not created."},
    {Msg::FirstLevelWrongType, "The first volume level field was the wrong type. A volume discount record was not created."},
    {Msg::SecondLevelWrongType, "The second volume level field was the wrong type. A volume discount record was not created."},
    {Msg::ThirdLevelWrongType, "The third volume level field was the wrong type. A volume discount record was not created."},
    {Msg::LevelsFailed, "Due to a problem with the volume level field(s), a volume discount record was not created."},
    {Msg::VolumeReadOldFailed, "Could not read old volume discount record. rc = %u"},
    {Msg::VolumeUpdateFailed, "Could not update volume discount record. rc = %u"},
    {Msg::VolumeCreateFailed, "Could not create a volume discount record. rc = %u"},
    {Msg::CashDaysEmpty, "Cash discount number of days field was empty."},
    {Msg::CashDaysProblem, "There was a problem with the cash discount number of days field. rc = %u"},
    {Msg::CashPercentEmpty, "Cash discount percent field was empty."},
    {Msg::CashPercentProblem, "There was a problem with the cash discount percent field. rc = %u"},
    {Msg::CashPerUnitEmpty, "Cash discount per unit field was empty."},
    {Msg::CashPerUnitProblem, "There was a problem with the cash discount per unit field. rc = %u"},
    {Msg::CashReadOldFailed, "Could not read old cash discount record. rc = %u"},
    {Msg::CashUpdateFailed, "Could not update cash discount record. rc = %u"},
    {Msg::CashCreateFailed, "Could not create a cash discount record. rc = %u"},
    {Msg::DiscountScheduleTooMany, "There were too many fields in the discount schedule setup record."},

    {Msg::TaxReferenceEmpty, "The Tax reference field should not be empty."},
    {Msg::TaxReferenceProblem, "There is a problem with the Tax reference. rc = %u"},
    {Msg::TaxReferenceCreateFailed, "Could not create a record in %s for reference %s. rc = %u"},
    {Msg::TaxReferenceReadFailed, "Could not read a record for reference %s from %s file. rc = %u"},
    {Msg::TaxLabelEmpty, "The Tax label field should not be empty."},
    {Msg::TaxLabelProblem, "There is a problem with the Tax label. rc = %u"},
    {Msg::TaxTypeEmpty, "The Tax type field should not be empty."},
    {Msg::TaxTypeProblem, "There is a problem with the Tax type. rc = %u"},
    {Msg::TaxRateEmpty, "The Tax rate field should not be empty."},
    {Msg::TaxRateProblem, "There is a problem with the Tax rate. rc = %u"},
    {Msg::TaxTooMany, "There are too many fields in the Tax record."},
    {Msg::TaxFlagsEmpty, "None of the Tax fields should be empty."},
    {Msg::TaxFlagProblem, "There is a problem with one of the Tax fields. rc = %u"},
    {Msg::TaxCodeCodeEmpty, "The TaxCode code field should not be empty."},
    {Msg::TaxCodeCodeProblem, "There is a problem with the TaxCode code. rc = %u"},
    {Msg::TaxCodeCreateFailed, "Could not create a record in %s for code %s. rc = %u"},
    {Msg::TaxCodeReadFailed, "Could not read a record for code %s from %s file. rc = %u"},
    {Msg::TaxCodeTooManyReferences, "There are too many tax reference ID's in the %s record with code %s."},
    {Msg::TaxCodeReferenceProblem, "There is a problem with the Tax Reference ID, %s, in the %s record with a code of %s. rc = %u"},
    {Msg::TaxCodeUpdateFailed, "Could not update %s record with code %s. rc = %u"},

    {Msg::CheckStart, nullptr},
    {Msg::CheckOpenFailed, nullptr},
    {Msg::CheckReadFirstFailed, "Could not read the first record in %s. rc = %u"},
    {Msg::CheckReadNextFailed, "Could not read a record in %s. rc = %u"},
    {Msg::CheckMissingTax, "The %s record with a code of %s references a %s record with a reference ID of %s, which does not exist."},
    {Msg::CheckReadTaxFailed, "Could not read a record in %s with a reference ID of %s. rc = %u"},
    {Msg::CheckFirstPosition, "The %s record for code %s has a tax-on-tax type %s record in the first position."},
    {Msg::CheckInvalidLocation, "The %s record for code %s has a tax-on-tax type %s record with a reference ID of %s in an invalid location."},
    {Msg::CheckFollowUp, "This %s record must either be altered, or it must be moved to a later position in the %s record."},
    {Msg::CheckCloseFailed, nullptr},
    {Msg::CheckComplete, nullptr},

    {Msg::RamCardEmpty, "The ram card ID field should not be empty."},
    {Msg::RamCardOpenFailed, "Could not open %s for ram card ID field. rc = %u"},
    {Msg::RamCardCreateDefaultFailed, "Could not create a default %s record for ram card ID field. rc = %u"},
    {Msg::RamCardReadFailed, "Could not read %s record for ram card ID field. rc = %u"},
    {Msg::RamCardProblem, "There was a problem with the ram card ID field."},
    {Msg::RamCardUpdateFailed, "Could not update %s record for ram card ID field. rc = %u"},
    {Msg::RamCardCloseFailed, "Could not close %s. rc = %u"},
    {Msg::TotalizerTooMany, "The totalizer record had too many fields."},
    {Msg::MiscCodeEmpty, "The miscellaneous transaction code field should not be empty."},
    {Msg::MiscCodeProblem, "There was a problem with the miscellaneous transaction code. rc = %u"},
    {Msg::MiscOpenFailed, "Could not open/create %s. rc = %u"},
    {Msg::MiscCreateFailed, "Could not create a record in %s for miscellaneous transaction code %s. rc = %u"},
    {Msg::MiscCreated, "A record was created in %s for miscellaneous transaction code %s using a default name.\nIt should be edited before use in the TRK."},
    {Msg::MiscReadFailed, "Could not read a record for miscellaneous transaction code %s from %s. rc = %u"},
    {Msg::MiscFlatEmpty, "The miscellaneous flat charge field should not be empty."},
    {Msg::MiscFlatProblem, "There is a problem with the miscellaneous flat charge field. rc = %u"},
    {Msg::MiscUnitPriceEmpty, "The miscellaneous unit price field should not be empty."},
    {Msg::MiscUnitPriceProblem, "There is a problem with the miscellaneous unit price field. rc = %u"},
    {Msg::MiscUpdateFailed, "Could not update record in %s. rc = %u"},
    {Msg::MiscTooMany, "There are too many fields in the miscellaneous transaction record."},
};

// Every wording in which the office program's copy differs from the console's.
constexpr Entry kOfficeOverrides[] = {
    {Msg::SourceFromCommandLine, nullptr},  // the office lists the file it chose itself
    {Msg::SourceOpenFailed, "The source file could not be opened. TQLoad file conversion has been aborted."},
    {Msg::TaxConfigOpenFailed, "Could not open the tax configuration file. rc=%u"},
    {Msg::TaxConfigReadFailed, "Could not read the tax configuration record. rc=%u"},
    {Msg::SafeWritesOffFailed, "Could not turn off safe-writes for %s. rc=%u"},
    {Msg::OpenFailed, "Could not open %s. rc=%u"},
    {Msg::OpenFailedAborted, "Could not open %s. rc=%u"},
    {Msg::GeneralLedgerAborted, "File conversion was aborted."},
    {Msg::CloseProductFailed, "Could not close the product file. rc = %u"},
    {Msg::CloseTaxFailed, "Could not close the tax file. rc = %u"},
    {Msg::CloseTaxCodeFailed, "Could not close the tax code file. rc = %u"},
    {Msg::CloseTaxConfigFailed, "Error occurred while closing tax configuration file. rc = %u"},
    {Msg::CloseCashFailed, "Error occurred while closing cash discount file. rc = %u"},
    {Msg::CloseCustAcctFailed, "Could not close the customer account file. rc = %u"},
    {Msg::CloseCustomerFailed, "Could not close the customer file. rc = %u"},
    {Msg::CloseDispatchFailed, "Could not close the dispatch file. rc = %u"},
    {Msg::CloseTankFailed, "Could not close the tank file. rc = %u"},
    {Msg::AlphaCountProblem, "Line %u has a problem with the quantity of alpha-numeric fields %s, rc = %u."},
    {Msg::TaxFieldCountInvalid, "Line %u has an invalid number of tax fields, %s, in its %s setup record, rc = %u."},
    {Msg::ProductCreated, "A record was created in %s for product code %s using default values."},
    {Msg::MiscChargeProblem, "There is a problem with the miscellaneous charge field. rc = %u"},
    {Msg::DeviationPriceProblem, "There is a problem with the deviation price field. rc = %u"},
    {Msg::DiscountPerUnitProblem, "There is a problem with the discount per unit field. rc = %u"},
    {Msg::TankSizeProblem, "There was a problem with the tank size field. rc = %u"},
    {Msg::DefaultTaxConfigFailed, "Default tax configuration record could not be created, rc = %u"},
    {Msg::DeleteTaxFileFailed, "Could not delete the tax file, rc = %u"},
    {Msg::CreateTaxFileFailed, "Could not create and open the tax file, rc = %u"},
    {Msg::DeleteTaxCodeFileFailed, "Could not delete the tax code file, rc = %u"},
    {Msg::CreateTaxCodeFileFailed, "Could not create and open the tax code file, rc = %u"},
    {Msg::TaxSafeWritesFailed, "Could not turn safe-writes off for the tax file, rc = %u"},
    {Msg::TaxCodeSafeWritesFailed, "Could not turn safe-writes off for the tax code file, rc = %u"},
    {Msg::PercentTaxProblem, "There is a problem with a %% tax field. rc = %u"},
    {Msg::PerUnitTaxProblem, "There is a problem with a per-unit or surcharge tax field. rc = %u"},
    {Msg::BasePriceTooMany, "Unrecognized field for base price record."},
    {Msg::PerUnitDiscount1Problem, "There was a problem with the per unit volume discount for category 1, rc = %u"},
    {Msg::PerUnitDiscount2Problem, "There was a problem with the per unit volume discount for category 2, rc = %u"},
    {Msg::PerUnitDiscount3Problem, "There was a problem with the per unit volume discount for category 3, rc = %u"},
    {Msg::CashUpdateFailed, "Could not update the cash discount record. rc = %u"},
    {Msg::TaxCodeCodeProblem, "There is a problem with the TaxCode code. rc = %u."},
    {Msg::CheckStart, "Checking Tax and TaxCode records..."},
    {Msg::CheckOpenFailed, "Could not open the %s file. rc = %u"},
    {Msg::CheckFollowUp, "The %s record must either be altered, or it must be moved to a later position in the %s record."},
    {Msg::CheckCloseFailed, "Could not close the %s file. rc = %u"},
    {Msg::CheckComplete, "Tax check is complete."},
    {Msg::RamCardProblem, "There was a problem with the ram card ID field. rc = %u"},
    {Msg::MiscCodeProblem, "There is a problem with the miscellaneous transaction code. rc = %u"},
};

constexpr size_t Index(Msg id) { return static_cast<size_t>(id); }

constexpr Table BuildConsoleTable() {
  Table table{};
  for (const Entry& entry : kConsoleEntries) table[Index(entry.first)] = entry.second;
  return table;
}

constexpr Table BuildOfficeTable() {
  Table table = BuildConsoleTable();
  for (const Entry& entry : kOfficeOverrides) table[Index(entry.first)] = entry.second;
  return table;
}

// Each message appears once, in declaration order, so no id is left without a row.
constexpr bool ConsoleRowsInOrder() {
  if (std::size(kConsoleEntries) != kMessageCount) return false;
  for (size_t i = 0; i < kMessageCount; ++i) {
    if (Index(kConsoleEntries[i].first) != i) return false;
  }
  return true;
}
static_assert(ConsoleRowsInOrder(), "the console table must list every message once, in order");

constexpr Table kConsoleMessages = BuildConsoleTable();
constexpr Table kOfficeMessages = BuildOfficeTable();


}  // namespace

const char* MessageFormat(Variant variant, Msg id) {
  const size_t index = Index(id);
  if (index >= kMessageCount) return nullptr;
  return variant == Variant::Office ? kOfficeMessages[index] : kConsoleMessages[index];
}


}  // namespace trk::tqload
