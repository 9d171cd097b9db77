// The conversion's messages: one table per variant, indexed by Msg, filled in by
// the shared formatter (schema/message_format.h). Texts and numbers come from
// separate queues, so a variant whose wording drops the file name ("Could not
// close the product file. rc = %u") still gets the right number. A null entry
// means the variant says nothing.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "schema/message_format.h"
#include "tqload/tqload.h"

namespace trk::tqload {

enum class Variant : uint8_t { Console = TQLOAD_VARIANT_CONSOLE, Office = TQLOAD_VARIANT_OFFICE };

enum class Msg : uint16_t {
  // Driver
  SourceFromCommandLine, SourceFile, SourceOpenFailed, ConfigOpenFailed, ConfigReadFailed, ConversionAborted,
  ConfigCreateFailed, ConfigCreated, ConfigCloseFailed, OfficeConfigCloseFailed, DeleteOldFailed,
  TaxConfigOpenFailed, TaxConfigReadFailed, SafeWritesOffFailed, OpenFailed, OpenFailedAborted,
  GeneralLedgerOpenFailed, GeneralLedgerSafeWritesOffFailed, GeneralLedgerAborted,
  CloseProductFailed, CloseTaxFailed, CloseTaxCodeFailed, CloseTaxConfigFailed, CloseCashFailed,
  CloseCustAcctFailed, CloseCustomerFailed, CloseDispatchFailed, CloseTankFailed,
  // Lines
  NoRecordType, RecordTypeProblem, RecordFormatUpdateFailed, NumericCountEmpty, NumericCountProblem,
  AlphaCountEmpty, AlphaCountProblem, TaxFieldCountInvalid, FieldContents, CompletedDeliveryRecord,
  UnrecognizedRecordType, TaxStructureUpdateFailed,
  // Dispatch lines
  AccessNumberEmpty, AccessNumberProblem, ProductCodeProblem, ProductOpenFailed, ProductCreateFailed,
  ProductReadFailed, ProductCreated, TankCreateFailed, PresetEmpty, PresetFormat, PresetRange, PresetVolume,
  PresetProblem, UnitPriceEmpty, UnitPriceProblem, VolumeEnableProblem, CashCategoryProblem,
  MiscTransactionFieldProblem, MiscChargeEmpty, MiscChargeProblem, BalanceEmpty, BalanceProblem,
  ExistingReadFailed, UpdateRecordFailed, CreateRecordFailed, ComplianceProblem, ChargeLabelProblem,
  TankUpdateFailed, StreetProblem, DirectionsTooLong, CustomerReadFailed, CustomerDeleteFailed,
  CustomerCreateFailed, CustAcctCreateFailed, TaxCodeEmpty, TaxCodeProblem, DispatchCreateFailed,
  DispatchCreateFailedForAccess, DeviationPriceEmpty, DiscountPerUnitEmpty, DeviationPriceProblem,
  DiscountPerUnitProblem, TooManyDispatchFields, KilometersEmpty, KilometersProblem, PaymentTypeEmpty,
  PaymentTypeProblem, DiscountEmpty, DiscountProblem, PurchaseOrderProblem, CustomerReferenceProblem,
  RidgewayTankUpdateFailed, TicketMessageProblem, TicketHeaderProblem, RidgewayDispatchCreateFailed,
  SurchargeEmpty, SurchargeProblem, RemarksFirstProblem, DispatchMessageProblem, RemarksSecondProblem,
  FlatChargeEmpty, FlatChargeProblem, PerUnitChargeEmpty, PerUnitChargeProblem, CountyProblem,
  WorkOrderProblem, TankReferenceProblem, TankSizeProblem, HaldenPryceDispatchCreateFailed,
  // Taxes and tax files
  DefaultTaxConfigFailed, DeleteTaxFileFailed, CreateTaxFileFailed, DeleteTaxCodeFileFailed,
  CreateTaxCodeFileFailed, TaxSafeWritesFailed, TaxCodeSafeWritesFailed, AllocTax, AllocTaxCode,
  ReadMatchingTaxFailed, AllocFirstTax, AllocSecondTax, CreateTaxFailed, TaxOnTaxUninitialised,
  ReadMatchingTaxCodeFailed, CreateTaxCodeFailed, AllocFirstTaxCode, AllocSecondTaxCode, TaxFieldEmpty,
  PercentTaxProblem, PerUnitTaxProblem, LedgerTaxCodeCreateFailed, LedgerTaxCodeReadFailed,
  // Base price lines
  BasePriceProductEmpty, BasePriceProductProblem, BasePriceEmpty, BasePriceProblem, ProductUpdateFailed,
  BasePricePercentTaxProblem, BasePricePerUnitTaxProblem, BasePriceTaxEmpty, BasePriceTooMany,
  // Discount schedule lines
  FirstLevelEmpty, SecondLevelEmpty, ThirdLevelEmpty, PerUnitDiscount1Empty, PerUnitDiscount2Empty,
  PerUnitDiscount3Empty, PerUnitDiscount1Problem, PerUnitDiscount2Problem, PerUnitDiscount3Problem,
  LevelsOutOfRange, FirstLevelWrongType, SecondLevelWrongType, ThirdLevelWrongType, LevelsFailed,
  VolumeReadOldFailed, VolumeUpdateFailed, VolumeCreateFailed, CashDaysEmpty, CashDaysProblem,
  CashPercentEmpty, CashPercentProblem, CashPerUnitEmpty, CashPerUnitProblem, CashReadOldFailed,
  CashUpdateFailed, CashCreateFailed, DiscountScheduleTooMany,
  // Tax and tax code lines
  TaxReferenceEmpty, TaxReferenceProblem, TaxReferenceCreateFailed, TaxReferenceReadFailed, TaxLabelEmpty,
  TaxLabelProblem, TaxTypeEmpty, TaxTypeProblem, TaxRateEmpty, TaxRateProblem, TaxTooMany, TaxFlagsEmpty,
  TaxFlagProblem, TaxCodeCodeEmpty, TaxCodeCodeProblem, TaxCodeCreateFailed, TaxCodeReadFailed,
  TaxCodeTooManyReferences, TaxCodeReferenceProblem, TaxCodeUpdateFailed,
  // Tax-on-tax check
  CheckStart, CheckOpenFailed, CheckReadFirstFailed, CheckReadNextFailed, CheckMissingTax, CheckReadTaxFailed,
  CheckFirstPosition, CheckInvalidLocation, CheckFollowUp, CheckCloseFailed, CheckComplete,
  // Totalizer and miscellaneous transaction lines
  RamCardEmpty, RamCardOpenFailed, RamCardCreateDefaultFailed, RamCardReadFailed, RamCardProblem,
  RamCardUpdateFailed, RamCardCloseFailed, TotalizerTooMany, MiscCodeEmpty, MiscCodeProblem, MiscOpenFailed,
  MiscCreateFailed, MiscCreated, MiscReadFailed, MiscFlatEmpty, MiscFlatProblem, MiscUnitPriceEmpty,
  MiscUnitPriceProblem, MiscUpdateFailed, MiscTooMany,
  Count
};

inline constexpr size_t kMessageCount = static_cast<size_t>(Msg::Count);

// The format of a message in a variant; null when the variant has none.
const char* MessageFormat(Variant variant, Msg id);

using schema::FormatMessage;
using schema::MessageArg;

}  // namespace trk::tqload
