// Byte layouts of the records that come back from the trucks: completed
// transactions ("CompTran.trn", and its parking twin "CompTemp.trn") and meter
// totals ("Totals.trn").
//
// Contract:
//  - Each struct is the record exactly as the register writes it: packed,
//    little-endian, no gaps; sizes and the offsets the keys cover are checked at
//    compile time against the catalogue.
//  - These records are untrusted: a text field may lack its NUL and any byte may
//    hold any value. Read texts with TextOf (bounded by the field), take numbers
//    by value, and never assume a record type before checking recordType.
//  - A CompletedTransaction is one 630-byte buffer seen through the layout of its
//    record type; the bytes no layout names are carried unchanged when records
//    move between files.
//  - Never take the address of a multi-byte member (members are unaligned);
//    arrays of numbers use the PackedF64/PackedI32 wrappers for that reason.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "schema/records.h"

namespace trk::schema {

enum CompTranRecordType : uint8_t {
  kRecirculation = 2,
  kTankDelivery = 3,
  kDeliverySummary = 4,
  kOutOfGas = 5,
  kReceivedPayment = 6,
  kDotInformation = 7,
  kCylinderFill = 8,
  kCylinderExchange = 9,
  kFirstInvalidRecordType = 10,
};

inline constexpr size_t kCompletedTransactionSize = 630;
inline constexpr size_t kTotalizerRecordSize = 251;
inline constexpr int kTankTaxAmounts = 20;
inline constexpr int kVariantValues = 5;
inline constexpr int kMiscChargeSlots = 3;

#pragma pack(push, 1)

struct PackedI32 {  // an i32 inside an array of a packed record
  int32_t value;
};

struct CompTranHead {  // common to every record type
  char transDate[9];
  char transTime[9];
  char text18[11];
  char saleGroupText[11];  // shared by every record of one sale
  uint8_t recordType;      // CompTranRecordType
};

struct TankDeliveryRecord {  // record type 3: the delivery from one tank
  CompTranHead head;
  char text41[11];
  char accessNumber[13];
  char unread65[13];
  char text78[17];
  char productCode[9];  // with the byte behind it, the 10-byte "Totals.trn" product key
  char startDate[9];
  char startTime[9];
  char endDate[9];
  char endTime[9];
  char text140[4];
  char text144[11];
  char text155[11];
  uint16_t value166;
  float temperature;
  uint8_t volumeFormat;  // resolution code of both volumes
  int32_t grossVolume;
  int32_t netVolume;
  uint8_t unread181[4];
  double value185;
  PackedF64 variantValues[kVariantValues];
  uint8_t unread233[8];
  double rate241;
  double amount249;
  char taxCode[9];
  PackedF64 taxAmounts[kTankTaxAmounts];  // one per position of the tax code
  double amount426;
  uint8_t unread434[25];
  double amount459;
  uint8_t unread467[163];
};

struct MiscCharge {  // one miscellaneous-charge slot of a summary; empty when chargeTotal is 0
  char chargeCode[9];
  double quantity;
  double unitPrice;
  char chargeTaxCode[9];
  double chargeTax;
  double chargeTotal;
};

struct DeliverySummaryRecord {  // record type 4: the summary of a sale
  CompTranHead head;
  char numberText41[8];
  char numberText49[8];
  char accessNumber[13];
  char text70[17];
  char text87[9];
  char text96[25];
  char summaryDate[9];
  char summaryTime[9];
  int32_t summaryVolume;  // tenths
  int32_t saleNumber;
  double beginningBalance;
  double amount155;
  MiscCharge charges[kMiscChargeSlots];
  double totalAmount;
  uint8_t unread321[309];
};

struct ReceivedPaymentRecord {  // record type 6: a payment taken at the door
  CompTranHead head;
  uint8_t unread41[61];
  char numberText102[8];
  char numberText110[8];
  char accessNumber[13];
  uint8_t unread131[8];
  uint8_t paymentType;
  double paymentAmountA;
  double paymentAmountB;  // written instead of A when it is not 0
  uint8_t unread156[474];
};

// One record of "CompTran.trn" or "CompTemp.trn", seen through the layout its
// head's recordType names.
union CompletedTransaction {
  CompTranHead head;
  TankDeliveryRecord tank;
  DeliverySummaryRecord summary;
  ReceivedPaymentRecord payment;
  uint8_t bytes[kCompletedTransactionSize];
};

struct TotalizerRecord {  // "Totals.trn": the meter counters of one product for one shift
  char productCode[10];   // fixed 10 bytes, the first key
  char shiftDate[9];      // the second key; totals are grouped by it
  char shiftTime[9];
  char text28[15];
  char text43[11];
  char text54[11];
  int32_t counter65;
  int32_t counter69;
  int32_t counter73;
  int32_t counter77;
  int32_t counter81;
  int32_t counter85;
  PackedI32 volumes89[4];
  uint8_t volumeFormat;  // resolution code of every volume of the record
  float value106;
  double amount110;
  PackedF64 amounts118[9];
  PackedF64 amounts190[3];
  PackedI32 volumes214[2];
  double amount222;
  double unread230;
  double value238;
  uint8_t unread246[4];
  uint8_t counter250;
};

#pragma pack(pop)

static_assert(sizeof(CompTranHead) == 41);
static_assert(sizeof(TankDeliveryRecord) == kCompletedTransactionSize);
static_assert(sizeof(DeliverySummaryRecord) == kCompletedTransactionSize);
static_assert(sizeof(ReceivedPaymentRecord) == kCompletedTransactionSize);
static_assert(sizeof(CompletedTransaction) == kCompletedTransactionSize);
static_assert(SizeMatches<CompletedTransaction>(FileIndex::CompTran) && SizeMatches<CompletedTransaction>(FileIndex::CompTemp));
static_assert(sizeof(MiscCharge) == 50);
// The key covers the date and its NUL, then stops comparing: records order by date text.
static_assert(KeyAt(FileIndex::CompTran, 0, offsetof(CompTranHead, transDate), 18) &&
              KeyAt(FileIndex::CompTemp, 0, offsetof(CompTranHead, transDate), 18));
static_assert(offsetof(CompTranHead, saleGroupText) == 29 && offsetof(CompTranHead, recordType) == 40);

static_assert(offsetof(TankDeliveryRecord, accessNumber) == 52 && offsetof(TankDeliveryRecord, productCode) == 95);
static_assert(offsetof(TankDeliveryRecord, text140) == 140 && offsetof(TankDeliveryRecord, value166) == 166);
static_assert(offsetof(TankDeliveryRecord, volumeFormat) == 172 && offsetof(TankDeliveryRecord, netVolume) == 177);
static_assert(offsetof(TankDeliveryRecord, value185) == 185 && offsetof(TankDeliveryRecord, variantValues) == 193);
static_assert(offsetof(TankDeliveryRecord, rate241) == 241 && offsetof(TankDeliveryRecord, taxCode) == 257);
static_assert(offsetof(TankDeliveryRecord, taxAmounts) == 266 && offsetof(TankDeliveryRecord, amount426) == 426);
static_assert(offsetof(TankDeliveryRecord, amount459) == 459);

static_assert(offsetof(DeliverySummaryRecord, accessNumber) == 57 && offsetof(DeliverySummaryRecord, text96) == 96);
static_assert(offsetof(DeliverySummaryRecord, summaryDate) == 121 && offsetof(DeliverySummaryRecord, summaryVolume) == 139);
static_assert(offsetof(DeliverySummaryRecord, saleNumber) == 143 && offsetof(DeliverySummaryRecord, amount155) == 155);
static_assert(offsetof(DeliverySummaryRecord, charges) == 163 && offsetof(DeliverySummaryRecord, totalAmount) == 313);
static_assert(offsetof(MiscCharge, chargeTaxCode) == 25 && offsetof(MiscCharge, chargeTotal) == 42);

static_assert(offsetof(ReceivedPaymentRecord, numberText102) == 102 && offsetof(ReceivedPaymentRecord, accessNumber) == 118);
static_assert(offsetof(ReceivedPaymentRecord, paymentType) == 139 && offsetof(ReceivedPaymentRecord, paymentAmountB) == 148);

static_assert(sizeof(TotalizerRecord) == kTotalizerRecordSize && SizeMatches<TotalizerRecord>(FileIndex::Totals));
static_assert(KeyAt(FileIndex::Totals, 0, offsetof(TotalizerRecord, productCode), 10));
static_assert(KeyAt(FileIndex::Totals, 1, offsetof(TotalizerRecord, shiftDate), 18));
static_assert(offsetof(TotalizerRecord, counter65) == 65 && offsetof(TotalizerRecord, volumes89) == 89);
static_assert(offsetof(TotalizerRecord, volumeFormat) == 105 && offsetof(TotalizerRecord, amounts118) == 118);
static_assert(offsetof(TotalizerRecord, amounts190) == 190 && offsetof(TotalizerRecord, volumes214) == 214);
static_assert(offsetof(TotalizerRecord, amount222) == 222 && offsetof(TotalizerRecord, value238) == 238);
static_assert(offsetof(TotalizerRecord, counter250) == 250);

// A record from bytes that came from outside (a file, a fuzzer); missing bytes
// stay zero, surplus bytes are ignored.
inline CompletedTransaction CompletedTransactionFromBytes(std::span<const uint8_t> bytes) {
  CompletedTransaction record{};
  std::memcpy(record.bytes, bytes.data(), bytes.size() < sizeof record.bytes ? bytes.size() : sizeof record.bytes);
  return record;
}

// The customer access number of a tank delivery, summary or payment (each keeps
// it at its own offset); empty for the other record types.
inline std::string_view AccessNumberOf(const CompletedTransaction& record) {
  switch (record.head.recordType) {
    case kTankDelivery: return TextOf(record.tank.accessNumber);
    case kDeliverySummary: return TextOf(record.summary.accessNumber);
    case kReceivedPayment: return TextOf(record.payment.accessNumber);
    default: return {};
  }
}

// Whether two records belong to the same sale: the same customer and sale text.
inline bool SameSale(const CompletedTransaction& a, const CompletedTransaction& b) {
  return AccessNumberOf(a) == AccessNumberOf(b) && TextOf(a.head.saleGroupText) == TextOf(b.head.saleGroupText);
}

// The text the completed-transaction key compares: the key's 18 bytes up to the
// first NUL, normally the date alone.
inline std::string_view CompTranKeyText(const CompletedTransaction& record) {
  const void* nul = std::memchr(record.bytes, '\0', 18);
  const size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - record.bytes) : 18;
  return std::string_view(reinterpret_cast<const char*>(record.bytes), length);
}

// The search value of the completed-transaction key for a key text (a date): the
// text NUL-terminated and NUL-padded beyond the key's 18 bytes.
inline std::array<char, 19> CompTranDateKey(std::string_view date) {
  std::array<char, 19> key{};
  std::memcpy(key.data(), date.data(), date.size() < key.size() - 1 ? date.size() : key.size() - 1);
  return key;
}

// The search value of the first "Totals.trn" key for a product code text: the
// text NUL-padded to the key's 10 bytes.
inline std::array<char, 10> TotalsProductKey(std::string_view productCode) {
  std::array<char, 10> key{};
  std::memcpy(key.data(), productCode.data(), productCode.size() < key.size() ? productCode.size() : key.size());
  return key;
}

}  // namespace trk::schema
