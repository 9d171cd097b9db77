// Byte layouts of the setup, dispatch, pricing and tax records.
//
// Contract:
//  - Each struct is the record exactly as stored: packed, little-endian, no gaps;
//    its size and the offsets that keys and other programs rely on are checked at
//    compile time against the catalogue.
//  - text[N] fields hold at most N-1 characters, NUL-terminated and NUL-padded;
//    write them with SetText and read them with TextOf, never with str* calls.
//  - Every writer value-initialises a record ({}), so unused bytes are zero.
//  - Never take the address of (or bind a reference to) a multi-byte member:
//    members are unaligned. Copy the value instead.
//  - Volumes are u32 in a resolution code: 0 hundredths, 1 tenths, 2 units.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "schema/catalogue.h"

static_assert(std::endian::native == std::endian::little, "the record layouts are little-endian");

namespace trk::schema {

// Copies at most N-1 characters and clears the rest of the field.
template <size_t N>
void SetText(char (&field)[N], std::string_view text) {
  const size_t length = text.size() < N - 1 ? text.size() : N - 1;
  if (length > 0) std::memcpy(field, text.data(), length);
  std::memset(field + length, 0, N - length);
}

// The text of a field up to its first NUL, never beyond the field.
template <size_t N>
std::string_view TextOf(const char (&field)[N]) {
  const void* nul = std::memchr(field, '\0', N);
  return std::string_view(field, nul ? static_cast<const char*>(nul) - field : N);
}

enum ResolutionCode : uint8_t { kHundredths = 0, kTenths = 1, kUnits = 2 };

enum CustomFeature : uint8_t {
  kFeatureStandard = 0,
  kFeatureRidgeway = 1,
  kFeatureCorlan = 2,
  kFeatureHaldenPryce = 3,
  kFeatureNetPrice = 4,
  kFeatureVerlund = 5,
  kFeatureQuenby = 6,
  kFeatureTorvane = 7,
};

enum TaxStructure : uint8_t { kStandardUSA = 0, kCanadian = 1, kCanadianCarbon = 2, kImportTaxStructures = 3 };
enum TaxType : uint8_t { kTaxPercent = 0, kTaxPerUnit = 1, kTaxSurcharge = 2, kTaxOnTax = 3 };
enum PresetKind : uint8_t { kNoPreset = 0, kPresetNet = 1, kPresetGross = 2, kPresetPrice = 3 };

#pragma pack(push, 1)

struct PackedF64 {  // a double inside an array of a packed record
  double value;
};

struct ConfigRecord {  // "Config.zdb"
  char password[11];
  uint8_t addToInventory;
  uint8_t taxStructure;
  uint8_t cashDiscountBeforeTax;
  uint8_t communicationMethod;
  uint8_t customFeature;
  uint16_t reserved16;
  uint8_t reserved18;
  uint8_t loginMethod;
  uint8_t multipleDeliveries;
  uint8_t pricingChangeable;
  uint8_t priceProtected;
  uint8_t totalizersByCalibration;
  uint8_t dispatchRecordFormat;  // 1 or 2, follows the dispatch line record types
  uint8_t parseAddress;
  uint8_t beginningBalance;
  uint8_t complianceCharge;
  uint8_t reprintTicket;
  uint8_t simultaneousDelivery;
  uint8_t volumeDiscountBeforeTax;
  uint8_t weightCalculations;
};

enum OfficeTaxFields : uint8_t { kGeneralLedger = 4 };

struct OfficeConfigRecord {  // "CfgOfc.zdb"
  uint8_t appendDeliveryFile;
  uint8_t expandedMiscellaneous;
  uint8_t taxFields;  // kGeneralLedger changes the converter's tax handling
  uint8_t mapProductToCalibration;
  char dispatchSource[501];
  char deliveryDestination[501];
};

struct TaxDefinition {
  uint8_t type;
  char label[14];
};
inline constexpr int kTaxDefinitionCount = 20;

struct TaxConfigRecord {  // "CfgTax.zdb"
  TaxDefinition definition[kTaxDefinitionCount];
};

struct CustomerRecord {  // "Customer.zdb"
  char accessNumber[13];
  char account[17];
  char printName[36];
  char city[20];
  char searchName[36];
  char address1[36];
  char address2[36];
  char state[3];
  char zip[11];
  char phone[15];
  char directions[256];
  uint8_t ticketHeader;          // Ridgeway Cooperative
  char purchaseOrderOrCounty[25];  // PO # (Ridgeway Cooperative), county (Halden-Pryce)
  char referenceOrWorkOrder[9];    // reference # (Ridgeway Cooperative), work order # (Halden-Pryce)
};

struct CustAcctRecord {  // "CustAcct.zdb"
  char accessNumber[13];
  double balance;
  double pastDue30;
  char deliveryType[15];
  double lastCharge;
  double lastDiscount;
  uint8_t paymentType;  // Ridgeway Cooperative
};

struct DispatchRecord {  // "Dispatch.zdb"
  char route[9];
  uint16_t sequence;
  char accessNumber[13];
  char tankNumber[13];
  uint8_t presetKind;  // decides which member of preset is meaningful
  union {
    struct {
      uint32_t volume;
      uint8_t resolution;
      uint8_t unused[3];
    } quantity;     // kinds 0 to 2
    double amount;  // kPresetPrice
  } preset;
  char reference[11];
  char invoice[16];
  double unitPrice;
  char taxCode[9];
  union {  // the custom feature area, offsets 90 to 152
    struct {
      PackedF64 discountRates[5];  // temporary competitive, volume, other, cash, provincial rebate
      uint8_t ticketMessage;
      char permit1[11];
      char permit2[11];
    } ridgeway;
    struct {
      double surchargeRate;
    } corlan;
    struct {
      double flatDeliveryCharge;
      double perUnitDeliveryCharge;
      uint8_t unused[25];
      char tankSize[22];
    } haldenPryce;
    struct {
      double deviationPrice;
    } netPrice;
    struct {
      double discountPerUnit;
    } quenby;
    uint8_t bytes[63];
  } feature;
};

struct TankRecord {  // "Tank.zdb"
  char accessNumber[13];
  char tankNumber[13];
  char accessNumberAgain[13];  // completes the second key
  char cashDiscountCode[9];
  double kilometers;  // Ridgeway Cooperative
  char location[4];   // Ridgeway Cooperative
  double miscellaneousCharge;
  char miscTransactionCode[9];
  char productCode[9];
  char chargeLabelOrReference[17];  // tank reference under Halden-Pryce
  uint32_t tankSize;                // tenths
  char taxCode[9];
  char volumeDiscountCode[9];
  union {
    char directions[256];
    struct {
      char remarks1[25];
      char remarks2[25];
      char dispatchMessage[41];
    } corlan;
  } tail;
};

struct DriverRecord {  // "Driver.zdb"
  char driverNumber[11];
  char name[29];
  char password[11];
  uint16_t language;
  uint8_t priceProtection;
};

struct ProductRecord {  // "Product.zdb"
  char code[9];
  char description[36];
  double unitPrice;
  char taxCode[9];
  uint8_t auxiliaryOutput1;
  uint8_t auxiliaryOutput2;
  uint8_t fuelType;  // or (node - 1) * 4 + (calibration - 1) with the office's map flag
  uint8_t reserved;
  uint8_t tankFullPrompt;  // Corlan
};

struct TaxRecord {  // "Tax.zdb"
  char reference[9];
  uint8_t type;
  uint32_t taxOnTaxMask;  // bit k-1: applies to the tax in position k of a tax code
  double rate;
  char label[14];
};

inline constexpr int kTaxCodePositions = 20;

struct TaxCodeRecord {  // "TaxCode.zdb"
  char code[9];
  char reference[kTaxCodePositions][9];
};

struct VolumeCategory {
  uint32_t qualifyingQuantity;
  double perUnitDiscount;
};

struct VolumeDiscountRecord {  // "Volume.zdb"
  char code[9];
  VolumeCategory category[3];
  uint8_t resolution;
};

struct CashInterval {
  uint16_t days;
  double percentDiscount;
  double perUnitDiscount;
};

struct CashDiscountRecord {  // "Cash.zdb"
  char code[9];
  CashInterval interval[3];
};

struct MiscTranRecord {  // "MiscTran.zdb"
  char name[23];
  char code[9];
  double charge;
  char taxCode[9];
  double unitPrice;
};

struct FuelTypeRecord {  // "FuelType.zdb"
  uint8_t code;
  char name[21];
  uint8_t productType;
  uint32_t deliveries;
  uint32_t grossQuantity;
  uint32_t netQuantity;
  uint8_t decimals;
  uint32_t inventory;
};

struct SystemDefinitionsRecord {  // "SysDefs.zdb"
  char baseName[36];
  char baseAddress1[36];
  char baseAddress2[36];
  char baseCity[20];
  char baseState[3];
  char baseZip[11];
  char basePhone[15];
  char footer[6][36];
  char header[9][7][36];
  char message[3][3][36];
  char ramCardId[11];
};

#pragma pack(pop)

// Sizes against the catalogue, and every keyed field against its key.
template <typename Record>
constexpr bool SizeMatches(FileIndex index) {
  return sizeof(Record) == EntryOf(index).recordSize;
}
constexpr bool KeyAt(FileIndex index, uint16_t key, size_t offset, size_t length) {
  return KeyOf(index, key).offset == offset && KeyOf(index, key).length == length;
}

static_assert(SizeMatches<ConfigRecord>(FileIndex::Config));
static_assert(offsetof(ConfigRecord, customFeature) == 15 && offsetof(ConfigRecord, loginMethod) == 19);
static_assert(offsetof(ConfigRecord, dispatchRecordFormat) == 24 && offsetof(ConfigRecord, weightCalculations) == 31);
static_assert(SizeMatches<OfficeConfigRecord>(FileIndex::CfgOfc));
static_assert(offsetof(OfficeConfigRecord, dispatchSource) == 4 && offsetof(OfficeConfigRecord, deliveryDestination) == 505);
static_assert(SizeMatches<TaxConfigRecord>(FileIndex::CfgTax) && sizeof(TaxDefinition) == 15);

static_assert(SizeMatches<CustomerRecord>(FileIndex::Customer));
static_assert(KeyAt(FileIndex::Customer, 0, offsetof(CustomerRecord, accessNumber), 13));
static_assert(KeyAt(FileIndex::Customer, 1, offsetof(CustomerRecord, city), 56));  // city and search name
static_assert(offsetof(CustomerRecord, searchName) == offsetof(CustomerRecord, city) + 20);
static_assert(KeyAt(FileIndex::Customer, 2, offsetof(CustomerRecord, searchName), 36));
static_assert(KeyAt(FileIndex::Customer, 3, offsetof(CustomerRecord, account), 17));
static_assert(offsetof(CustomerRecord, zip) == 197 && offsetof(CustomerRecord, directions) == 223);
static_assert(offsetof(CustomerRecord, ticketHeader) == 479 && offsetof(CustomerRecord, referenceOrWorkOrder) == 505);

static_assert(SizeMatches<CustAcctRecord>(FileIndex::CustAcct));
static_assert(KeyAt(FileIndex::CustAcct, 0, offsetof(CustAcctRecord, accessNumber), 13));
static_assert(offsetof(CustAcctRecord, lastDiscount) == 52 && offsetof(CustAcctRecord, paymentType) == 60);

static_assert(SizeMatches<DispatchRecord>(FileIndex::Dispatch));
static_assert(KeyAt(FileIndex::Dispatch, 0, offsetof(DispatchRecord, route), 11));  // route and sequence
static_assert(KeyAt(FileIndex::Dispatch, 1, offsetof(DispatchRecord, accessNumber), 26));  // access and tank
static_assert(offsetof(DispatchRecord, preset) == 38 && offsetof(DispatchRecord, preset.quantity.resolution) == 42);
static_assert(offsetof(DispatchRecord, reference) == 46 && offsetof(DispatchRecord, unitPrice) == 73);
static_assert(offsetof(DispatchRecord, taxCode) == 81 && offsetof(DispatchRecord, feature) == 90);
static_assert(offsetof(DispatchRecord, feature.ridgeway.ticketMessage) == 130);
static_assert(offsetof(DispatchRecord, feature.ridgeway.permit2) == 142);
static_assert(offsetof(DispatchRecord, feature.haldenPryce.perUnitDeliveryCharge) == 98);
static_assert(offsetof(DispatchRecord, feature.haldenPryce.tankSize) == 131);

static_assert(SizeMatches<TankRecord>(FileIndex::Tank));
static_assert(KeyAt(FileIndex::Tank, 0, offsetof(TankRecord, accessNumber), 26));
static_assert(KeyAt(FileIndex::Tank, 1, offsetof(TankRecord, tankNumber), 26));
static_assert(offsetof(TankRecord, kilometers) == 48 && offsetof(TankRecord, miscTransactionCode) == 68);
static_assert(offsetof(TankRecord, productCode) == 77 && offsetof(TankRecord, tankSize) == 103);
static_assert(offsetof(TankRecord, volumeDiscountCode) == 116 && offsetof(TankRecord, tail) == 125);
static_assert(offsetof(TankRecord, tail.corlan.remarks2) == 150 && offsetof(TankRecord, tail.corlan.dispatchMessage) == 175);

static_assert(SizeMatches<DriverRecord>(FileIndex::Driver));
static_assert(KeyAt(FileIndex::Driver, 0, offsetof(DriverRecord, driverNumber), 11));

static_assert(SizeMatches<ProductRecord>(FileIndex::Product));
static_assert(KeyAt(FileIndex::Product, 0, offsetof(ProductRecord, code), 9));
static_assert(offsetof(ProductRecord, taxCode) == 53 && offsetof(ProductRecord, tankFullPrompt) == 66);

static_assert(SizeMatches<TaxRecord>(FileIndex::Tax));
static_assert(KeyAt(FileIndex::Tax, 0, offsetof(TaxRecord, reference), 9));
static_assert(offsetof(TaxRecord, rate) == 14 && offsetof(TaxRecord, label) == 22);

static_assert(SizeMatches<TaxCodeRecord>(FileIndex::TaxCode));
static_assert(KeyAt(FileIndex::TaxCode, 0, offsetof(TaxCodeRecord, code), 9));

static_assert(SizeMatches<VolumeDiscountRecord>(FileIndex::Volume));
static_assert(KeyAt(FileIndex::Volume, 0, offsetof(VolumeDiscountRecord, code), 9));
static_assert(offsetof(VolumeDiscountRecord, category) + 2 * sizeof(VolumeCategory) == 33);
static_assert(offsetof(VolumeDiscountRecord, resolution) == 45);

static_assert(SizeMatches<CashDiscountRecord>(FileIndex::Cash));
static_assert(KeyAt(FileIndex::Cash, 0, offsetof(CashDiscountRecord, code), 9));
static_assert(offsetof(CashDiscountRecord, interval) + sizeof(CashInterval) == 27);

static_assert(SizeMatches<MiscTranRecord>(FileIndex::MiscTran));
static_assert(KeyAt(FileIndex::MiscTran, 0, offsetof(MiscTranRecord, name), 23));
static_assert(KeyAt(FileIndex::MiscTran, 1, offsetof(MiscTranRecord, code), 9));
static_assert(offsetof(MiscTranRecord, taxCode) == 40 && offsetof(MiscTranRecord, unitPrice) == 49);

static_assert(SizeMatches<FuelTypeRecord>(FileIndex::FuelType));
static_assert(KeyAt(FileIndex::FuelType, 0, offsetof(FuelTypeRecord, code), 1));
static_assert(KeyAt(FileIndex::FuelType, 1, offsetof(FuelTypeRecord, name), 21));
static_assert(offsetof(FuelTypeRecord, decimals) == 35);

static_assert(SizeMatches<SystemDefinitionsRecord>(FileIndex::SysDefs));
static_assert(offsetof(SystemDefinitionsRecord, footer) == 157 && offsetof(SystemDefinitionsRecord, header) == 373);
static_assert(offsetof(SystemDefinitionsRecord, message) == 2641 && offsetof(SystemDefinitionsRecord, ramCardId) == 2965);

// The default records that more than one program writes.
ConfigRecord DefaultConfigRecord();
OfficeConfigRecord DefaultOfficeConfigRecord();
// The tax configuration of a tax structure; import structures use the Canadian table.
TaxConfigRecord DefaultTaxConfigRecord(uint8_t taxStructure);

}  // namespace trk::schema
