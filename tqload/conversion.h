// The state and handlers of one TQLoad conversion (internal to the library).
//
// A Conversion owns the run's in-memory records (Config, office and tax
// configuration, the working records of each line type, the tax lists) and
// reaches the data files through a Catalogue. The driver (driver.cc) prepares
// the files, feeds the source through a DispatchTextReader into OnField, and
// closes the files; the handlers live in one file per family of lines.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "schema/catalogue.h"
#include "schema/records.h"
#include "tqload/field_convert.h"
#include "tqload/messages.h"
#include "tqload/text_reader.h"

namespace trk::tqload {

using schema::FileIndex;

inline constexpr uint32_t kEndOfRecordField = 250;

// One field as a record handler sees it.
struct Field {
  std::string_view text;
  uint32_t number;   // kEndOfRecordField for the last field of a dispatch line
  bool endOfRecord;  // distinguishes that field from a real 250th field
  uint8_t recordType;
};

// How a priced line's tax values are range-checked.
enum class TaxRangeRule : uint8_t { ByDefinition, ByPosition };

class Conversion final : public FieldConsumer {
 public:
  using Sink = std::function<void(std::string_view)>;

  Conversion(schema::Catalogue& catalogue, Variant variant, Sink sink);

  // Driver steps (driver.cc).
  void ReadOfficeConfiguration();
  // Opens or creates "Config.zdb"; false when the conversion must be skipped.
  bool LoadConfig();
  // Deletes and reopens the per-run files and prepares the tax files; false when
  // no line may be read.
  bool PrepareFiles();
  void AfterLastLine();
  void CloseConfig();
  void CloseOfficeConfiguration();

  void OnField(const RawField& raw) override;
  void OnLineReset() override;

  const schema::OfficeConfigRecord& OfficeConfig() const { return officeConfig_; }
  bool ErrorFlag() const { return errorFlag_; }
  void SetErrorFlag() { errorFlag_ = true; }
  Variant GetVariant() const { return variant_; }

  template <typename... Args>
  void Log(Msg id, const Args&... args) {
    Emit(FormatMessage(MessageFormat(variant_, id), {MessageArg(args)...}), MessageFormat(variant_, id) != nullptr);
  }

 private:
  // Line level (conversion.cc).
  void HandleRecordTypeField(const RawField& raw);
  void HandleNumericCountField(const RawField& raw);
  void HandleAlphaCountField(const RawField& raw);
  uint8_t HandleRecordField(const Field& field);
  void SetDispatchRecordFormat(uint8_t format);
  void EnsureImportTaxStructure();
  void Emit(const std::string& message, bool present);
  uint8_t RewriteConfig();

  // Dispatch lines (dispatch_lines.cc).
  uint8_t HandleStandardLayout(const Field& field);
  uint8_t HandleRidgewayLayout(const Field& field);
  uint8_t HandleCorlanLayout(const Field& field);
  uint8_t HandleHaldenPryceLayout(const Field& field);
  uint8_t AccessNumberField(std::string_view text, bool dropLeadingZeros);
  uint8_t ProductAndTankField(std::string_view text);
  uint8_t ReadOrCreateProduct(std::string_view code, schema::ProductRecord& product);
  uint8_t AddTankForAccount();
  void ReferenceField(std::string_view text);
  uint8_t PresetField(const Field& field);
  uint8_t UnitPriceField(std::string_view text);
  uint8_t OptionalTextField(std::string_view text, char* target, size_t targetSize, size_t maximum, Msg problem);
  uint8_t RequiredAmountField(std::string_view text, double minimum, double maximum, Msg empty, Msg problem,
                              double& target);
  uint8_t MiscellaneousField(std::string_view text, bool alwaysCharge);
  uint8_t BeginningBalanceField(std::string_view text);
  uint8_t ChargeLabelField(std::string_view text);
  uint8_t RewriteTank(Msg failure);
  uint8_t CustomerAccountField(std::string_view text);
  void NameField(std::string_view text, bool printNameOnly);
  uint8_t CityLineField(std::string_view text);
  void DirectionsFirstField(std::string_view text);
  uint8_t DirectionsMoreField(std::string_view text);
  uint8_t FinishCustomer(bool layoutWritesAccount);
  uint8_t WriteDispatch(Msg failure, bool withAccessNumber);
  uint8_t TaxValueField(int position, std::string_view text);
  uint8_t FeaturePriceField(std::string_view text);
  uint8_t TicketSelectionsField(std::string_view text);
  uint8_t PermitsAndLocationField(std::string_view text);
  uint32_t StandardTrailingFieldNumber(uint32_t field) const;

  // Prices, taxes and discounts (pricing.cc).
  void CreateDefaultTaxConfiguration();
  void PrepareTaxFiles();
  uint8_t LoadTaxLists();
  uint8_t ConvertTaxValue(int position, std::string_view text, char (&taxCodeTarget)[9], TaxRangeRule rule);
  uint8_t ConvertLedgerTaxCode(std::string_view text, char (&taxCodeTarget)[9]);
  uint8_t FindOrAddTax();
  uint8_t FindOrAddTaxCode();
  void RememberTax(const schema::TaxRecord& tax);
  void RememberTaxCode(const schema::TaxCodeRecord& code);
  uint8_t HandleBasePriceLine(const Field& field);
  uint8_t HandleDiscountScheduleLine(const Field& field);
  uint8_t VolumeLevelField(int level, std::string_view text);
  uint8_t StoreVolumeLevels();
  uint8_t WriteVolumeDiscount();
  uint8_t CashIntervalField(int interval, int part, std::string_view text);
  uint8_t WriteCashDiscount();
  uint8_t HandleTaxLine(const Field& field);
  uint8_t HandleTaxOnTaxLine(const Field& field);
  uint8_t TaxReferenceField(std::string_view text, uint8_t newType);
  uint8_t RewriteTaxRecord();
  uint8_t HandleTaxCodeLine(const Field& field);
  void CheckTaxOnTax();
  void CheckTaxCodeRecord(const schema::TaxCodeRecord& code);

  // Totalizer and miscellaneous transaction lines (misc_lines.cc).
  uint8_t HandleTotalizerLine(const Field& field);
  uint8_t StoreRamCardId(std::string_view text);
  uint8_t HandleMiscTransactionLine(const Field& field);
  uint8_t MiscTransactionCodeField(std::string_view text);

  // Shared helpers.
  uint16_t Handle(FileIndex index) const { return catalogue_.Handle(index); }
  bool GeneralLedgerMode() const { return officeConfig_.taxFields == schema::kGeneralLedger; }
  void CloseLogged(FileIndex index, Msg failure);

  schema::Catalogue& catalogue_;
  const Variant variant_;
  Sink sink_;
  bool errorFlag_ = false;

  schema::ConfigRecord config_ = schema::DefaultConfigRecord();
  schema::OfficeConfigRecord officeConfig_ = schema::DefaultOfficeConfigRecord();
  schema::TaxConfigRecord taxConfig_{};

  // Line state.
  uint8_t recordType_ = 0;
  uint32_t line_ = 1;
  uint32_t announcedTaxCodeFields_ = 0;
  bool taxOnTaxLineSeen_ = false;

  // Dispatch lines.
  schema::DispatchRecord dispatch_{};
  schema::TankRecord tank_{};
  schema::CustomerRecord customer_{};
  schema::CustAcctRecord custAcct_{};
  std::string accessNumber_;
  bool dispatchInProgress_ = false;
  bool tankCreated_ = false;
  uint8_t ridgewayPaymentType_ = 0;
  // Highest tank number given to each account this run (keyed without case, as
  // the tank key is), so the next tank number is found without trying each one.
  std::unordered_map<std::string, uint32_t> lastTankNumber_;

  // Prices and taxes.
  uint32_t nextTaxReference_ = 1000;
  uint32_t nextTaxCode_ = 100;
  std::vector<schema::TaxRecord> taxList_;
  std::vector<schema::TaxCodeRecord> taxCodeList_;
  schema::TaxRecord workingTax_{};
  schema::TaxCodeRecord workingTaxCode_{};
  bool buildingTaxCode_ = false;
  schema::ProductRecord product_{};
  bool productInProgress_ = false;
  schema::VolumeDiscountRecord volume_{};
  bool volumeInProgress_ = false;
  unsigned volumeDecimals_ = 0;
  std::string volumeLevelText_[3];
  schema::CashDiscountRecord cash_{};
  bool cashInProgress_ = false;
  schema::TaxRecord taxLineRecord_{};
  bool taxLineInProgress_ = false;
  uint32_t taxLineMask_ = 0;  // a tax-on-tax line's flags, stored with its last flag
  char taxLineLabel_[14] = {};
  double taxLineRate_ = 0;
  schema::TaxCodeRecord taxCodeLineRecord_{};
  bool taxCodeLineInProgress_ = false;

  // Miscellaneous transactions.
  schema::MiscTranRecord misc_{};
  bool miscInProgress_ = false;
};

}  // namespace trk::tqload
