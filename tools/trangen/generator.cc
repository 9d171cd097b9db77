#include "tools/trangen/generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "schema/catalogue.h"
#include "schema/comptran.h"
#include "schema/records.h"

namespace trk::tools {

namespace {

using schema::CompletedTransaction;
using schema::FileIndex;
using schema::SetText;

constexpr std::array<const char*, 5> kDefaultProducts = {"DSL", "OFFRD", "GAS87", "PROP", "FO2"};
constexpr std::array<const char*, 3> kDefaultTaxCodes = {"TC1", "TC2", "TC3"};
constexpr std::array<const char*, 4> kChargeCodes = {"DELFEE", "HAZMAT", "AFTERHR", "TANKRNT"};
constexpr std::array<uint8_t, 5> kEventTypes = {schema::kRecirculation, schema::kOutOfGas, schema::kDotInformation,
                                                schema::kCylinderFill, schema::kCylinderExchange};
constexpr size_t kLargestSale = 5;  // three tanks, a summary and a payment
constexpr size_t kMostNamesFromFolder = 2000;

// Up to `limit` key texts of a catalogue file, or none when it does not exist.
template <typename Record, size_t N>
std::vector<std::string> KeysOf(schema::Catalogue& catalogue, FileIndex index, char (Record::*field)[N]) {
  std::vector<std::string> keys;
  if (!catalogue.FileExists(index) || catalogue.OpenCatalogueFile(index) != OKV_SUCCESS) return keys;
  Record record{};
  const uint16_t handle = catalogue.Handle(index);
  for (uint8_t rc = OKVReadRecLO(handle, 0, &record); rc == OKV_SUCCESS && keys.size() < kMostNamesFromFolder;
       rc = OKVReadRecNX(handle, 0, &record)) {
    keys.emplace_back(schema::TextOf(record.*field));
  }
  catalogue.CloseCatalogueFile(index);
  return keys;
}

std::vector<std::string> OrDefault(std::vector<std::string> found, const auto& defaults) {
  if (found.empty()) found.assign(defaults.begin(), defaults.end());
  return found;
}

// A prefix and a number, as the register numbers its tickets and references.
std::string Label(const char* prefix, uint32_t number) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%u", prefix, number);
  return text;
}

std::string Clock(uint32_t secondsOfDay) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", secondsOfDay / 3600 % 24, secondsOfDay / 60 % 60,
                secondsOfDay % 60);
  return text;
}

std::string NextDate(const std::string& date, uint32_t days) {
  unsigned month = 1, day = 1, year = 25;
  std::sscanf(date.c_str(), "%u/%u/%u", &month, &day, &year);
  day += days;
  while (day > 28) {  // a shift calendar only: every month is taken as 28 days
    day -= 28;
    if (++month > 12) month = 1, year = (year + 1) % 100;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%02u/%02u/%02u", month, day, year);
  return text;
}

class DayWriter {
 public:
  DayWriter(schema::Catalogue& catalogue, const TransactionDayOptions& options)
      : catalogue_(catalogue), options_(options), random_(options.seed),
        customers_(KeysOf(catalogue, FileIndex::Customer, &schema::CustomerRecord::accessNumber)),
        taxCodes_(OrDefault(KeysOf(catalogue, FileIndex::TaxCode, &schema::TaxCodeRecord::code), kDefaultTaxCodes)),
        products_(OrDefault(KeysOf(catalogue, FileIndex::Product, &schema::ProductRecord::code), kDefaultProducts)) {
    if (customers_.empty()) {
      for (int i = 1; i <= 400; ++i) {
        char access[16];
        std::snprintf(access, sizeof access, "C%05d", i * 7);
        customers_.emplace_back(access);
      }
    }
  }

  uint8_t Write(TransactionDayCounts* counts) {
    if (uint8_t rc = Prepare(FileIndex::CompTran)) return rc;
    if (uint8_t rc = Prepare(FileIndex::Totals)) return rc;
    const uint32_t pendingRecords = std::min(options_.pendingSales * 2, options_.records);
    const uint32_t regular = options_.records - pendingRecords;
    while (written_ < regular && rc_ == OKV_SUCCESS) {
      const uint32_t left = regular - written_;
      DateFor(written_, regular);
      if (left < kLargestSale) {
        AddEvent();  // fills the day up to the exact count
      } else {
        AddSale();
      }
    }
    for (uint32_t i = 0; i < options_.pendingSales && written_ + 2 <= options_.records && rc_ == OKV_SUCCESS; ++i) {
      AddPendingDelivery();
    }
    while (written_ < options_.records && rc_ == OKV_SUCCESS) AddEvent();
    for (uint32_t shift = 0; shift < std::max(1u, options_.shiftDates) && rc_ == OKV_SUCCESS; ++shift) {
      AddShiftTotals(NextDate(options_.firstDate, shift));
    }
    counts_.transactions = written_;
    if (counts) *counts = counts_;
    return rc_;
  }

 private:
  uint8_t Prepare(FileIndex index) {
    const uint8_t rc = catalogue_.OpenOrCreateCatalogueFile(index);
    if (rc == OKV_SUCCESS) OKVSetSafeWrites(catalogue_.Handle(index), 0);  // a bulk fill
    return rc;
  }

  void DateFor(uint32_t position, uint32_t total) {
    const uint64_t shifts = std::max(1u, options_.shiftDates);
    const uint64_t shift = total == 0 ? 0 : std::min<uint64_t>(shifts - 1, position * shifts / total);
    const std::string date = NextDate(options_.firstDate, static_cast<uint32_t>(shift));
    if (date != date_) clock_ = 6 * 3600;  // each shift starts in the morning
    date_ = date;
  }

  uint32_t Uniform(uint32_t low, uint32_t high) { return std::uniform_int_distribution<uint32_t>(low, high)(random_); }
  double Money(double low, double high) {
    return std::round(std::uniform_real_distribution<double>(low, high)(random_) * 100) / 100;
  }
  bool Chance(int percent) { return Uniform(1, 100) <= static_cast<uint32_t>(percent); }
  template <typename List>
  const auto& Pick(const List& list) {
    return list[Uniform(0, static_cast<uint32_t>(list.size() - 1))];
  }

  void Add(const CompletedTransaction& record) {
    if (rc_ == OKV_SUCCESS) rc_ = OKVCreateRec(catalogue_.Handle(FileIndex::CompTran), &record);
    ++written_;
  }

  CompletedTransaction Head(uint8_t type, const std::string& sale) {
    clock_ += Uniform(20, 400);
    CompletedTransaction record{};
    SetText(record.head.transDate, date_);
    SetText(record.head.transTime, Clock(clock_));
    SetText(record.head.text18, Label("TKT", ticket_));
    SetText(record.head.saleGroupText, sale);
    record.head.recordType = type;
    return record;
  }

  CompletedTransaction TankRecord(const std::string& access, const std::string& sale, double* total, int32_t* volume) {
    CompletedTransaction record = Head(schema::kTankDelivery, sale);
    schema::TankDeliveryRecord& tank = record.tank;
    SetText(tank.text41, std::to_string(Uniform(1, 3)));
    SetText(tank.accessNumber, access);
    SetText(tank.productCode, Pick(products_));
    const std::string start = Clock(clock_ - Uniform(120, 900));
    SetText(tank.startDate, date_);
    SetText(tank.startTime, start);
    SetText(tank.endDate, date_);
    SetText(tank.endTime, Clock(clock_));
    SetText(tank.text140, Label("M", Uniform(1, 4)));
    SetText(tank.text144, Label("PERMIT", Uniform(100, 999)));
    SetText(tank.text155, Label("REF", Uniform(1000, 9999)));
    tank.value166 = static_cast<uint16_t>(Uniform(1, 12));
    tank.temperature = static_cast<float>(Uniform(350, 850)) / 10;
    tank.volumeFormat = Chance(90) ? schema::kTenths : schema::kHundredths;
    const int32_t scale = tank.volumeFormat == schema::kTenths ? 10 : 100;
    const int32_t gross = static_cast<int32_t>(Uniform(40, 1800)) * scale + static_cast<int32_t>(Uniform(0, scale - 1));
    tank.grossVolume = gross;
    const int32_t net = Chance(85) ? gross - gross / 120 : 0;  // not every meter compensates
    tank.netVolume = net;
    const double units = static_cast<double>(net ? net : gross) / scale;
    const double price = Money(2.2, 4.6);
    tank.rate241 = price;
    tank.amount249 = std::round(units * price * 100) / 100;
    SetText(tank.taxCode, Pick(taxCodes_));
    double taxes = 0;
    for (int k : {1, 2, 3}) {
      const double tax = std::round(units * (0.01 * k + 0.05) * 100) / 100;
      tank.taxAmounts[k].value = tax;
      taxes += tax;
    }
    tank.amount426 = tank.amount249 + taxes;
    tank.amount459 = Chance(20) ? Money(1, 15) : 0;
    tank.value185 = Money(0, 60);
    for (int k = 0; k < schema::kVariantValues; ++k) tank.variantValues[k].value = Chance(30) ? Money(0, 5) : 0;
    const double amount426 = tank.amount426;
    const double amount459 = tank.amount459;
    *total += amount426 - amount459;
    *volume += net ? net : gross;
    return record;
  }

  CompletedTransaction SummaryRecord(const std::string& access, const std::string& sale, double goods,
                                     int32_t volume, int chargeSlots) {
    CompletedTransaction record = Head(schema::kDeliverySummary, sale);
    schema::DeliverySummaryRecord& summary = record.summary;
    SetText(summary.numberText41, std::to_string(ticket_));
    SetText(summary.numberText49, std::to_string(Uniform(1, 9999)));
    SetText(summary.accessNumber, access);
    SetText(summary.text70, Label("INV", ticket_));
    SetText(summary.text87, Label("PO", Uniform(100, 999)));
    SetText(summary.text96, Chance(50) ? "Leave ticket at door" : "");
    SetText(summary.summaryDate, date_);
    SetText(summary.summaryTime, Clock(clock_));
    summary.summaryVolume = volume;
    summary.saleNumber = static_cast<int32_t>(ticket_);
    summary.beginningBalance = Chance(40) ? Money(0, 900) : 0;
    summary.amount155 = Chance(25) ? Money(1, 20) : 0;
    double charges = 0;
    for (int slot = 0; slot < chargeSlots; ++slot) {
      schema::MiscCharge& charge = summary.charges[slot];
      SetText(charge.chargeCode, Pick(kChargeCodes));
      charge.quantity = Uniform(1, 3);
      charge.unitPrice = Money(5, 45);
      SetText(charge.chargeTaxCode, Chance(50) ? Pick(taxCodes_) : std::string());
      charge.chargeTax = schema::TextOf(charge.chargeTaxCode).empty() ? 0 : Money(0.2, 4);
      charge.chargeTotal = std::round((charge.quantity * charge.unitPrice + charge.chargeTax) * 100) / 100;
      charges += charge.chargeTotal;
    }
    summary.totalAmount = std::round((goods + charges - summary.amount155) * 100) / 100;
    return record;
  }

  CompletedTransaction PaymentRecord(const std::string& access, const std::string& sale, double due) {
    CompletedTransaction record = Head(schema::kReceivedPayment, sale);
    schema::ReceivedPaymentRecord& payment = record.payment;
    SetText(payment.numberText102, std::to_string(ticket_));
    SetText(payment.numberText110, std::to_string(Uniform(1, 9999)));
    SetText(payment.accessNumber, access);
    payment.paymentType = static_cast<uint8_t>(Uniform(0, 4));
    const double paid = Chance(70) ? due : Money(10, std::max(20.0, due));
    if (Chance(50)) {
      payment.paymentAmountA = paid;
    } else {
      payment.paymentAmountB = paid;
    }
    return record;
  }

  std::string NextSale() {
    ++ticket_;
    ++counts_.sales;
    return Label("S", ticket_);
  }

  int ChargeSlots(int percentWithCharges) {
    if (!Chance(percentWithCharges)) return 0;
    return static_cast<int>(Uniform(1, 3));
  }

  void AddSale() {
    const uint32_t kind = Uniform(1, 100);
    const std::string access = Pick(customers_);
    if (kind <= 65) {  // a delivery
      const std::string sale = NextSale();
      const uint32_t tanks = Chance(75) ? 1 : Chance(70) ? 2 : 3;
      double total = 0;
      int32_t volume = 0;
      for (uint32_t i = 0; i < tanks; ++i) Add(TankRecord(access, sale, &total, &volume));
      const CompletedTransaction summary = SummaryRecord(access, sale, total, volume / 10, ChargeSlots(35));
      const double due = summary.summary.totalAmount;
      Add(summary);
      if (Chance(60)) Add(PaymentRecord(access, sale, due));
    } else if (kind <= 80) {  // a sale without delivery
      const std::string sale = NextSale();
      const CompletedTransaction summary = SummaryRecord(access, sale, 0, 0, ChargeSlots(80));
      const double due = summary.summary.totalAmount;
      Add(summary);
      if (Chance(50)) Add(PaymentRecord(access, sale, std::max(10.0, due)));
    } else if (kind <= 90) {  // a payment on account
      const std::string sale = NextSale();
      Add(PaymentRecord(access, sale, Money(20, 600)));
    } else {
      AddEvent();
    }
  }

  void AddEvent() {
    const uint8_t type = Chance(95) ? Pick(kEventTypes) : static_cast<uint8_t>(Uniform(0, 1));
    Add(Head(type, Label("EV", ticket_)));
  }

  void AddPendingDelivery() {
    const std::string access = Pick(customers_);
    const std::string sale = NextSale();
    double total = 0;
    int32_t volume = 0;
    for (int i = 0; i < 2; ++i) Add(TankRecord(access, sale, &total, &volume));
    counts_.pendingTanks += 2;
  }

  void AddShiftTotals(const std::string& shiftDate) {
    for (const std::string& product : products_) {
      const uint32_t records = Uniform(1, 3);
      for (uint32_t i = 0; i < records; ++i) {
        schema::TotalizerRecord record{};
        const auto key = schema::TotalsProductKey(product);
        std::copy(key.begin(), key.end(), record.productCode);
        SetText(record.shiftDate, shiftDate);
        SetText(record.shiftTime, Clock(6 * 3600 + i * 60));
        SetText(record.text28, Label("TRUCK", options_.seed % 100));
        SetText(record.text43, Label("DRV", Uniform(10, 99)));
        SetText(record.text54, Label("CAL", i + 1));
        const int32_t start = static_cast<int32_t>(Uniform(100000, 900000));
        record.counter65 = start;
        record.counter69 = start + static_cast<int32_t>(Uniform(100, 5000));
        record.counter73 = static_cast<int32_t>(Uniform(1000, 90000));
        record.counter77 = record.counter73 + static_cast<int32_t>(Uniform(10, 400));
        record.counter81 = static_cast<int32_t>(Uniform(0, 40));
        record.counter85 = static_cast<int32_t>(Uniform(0, 40));
        for (auto& volume : record.volumes89) volume.value = static_cast<int32_t>(Uniform(0, 80000));
        record.volumeFormat = schema::kTenths;
        record.value106 = static_cast<float>(Uniform(400, 700)) / 10;
        record.amount110 = Money(0, 3000);
        for (auto& amount : record.amounts118) amount.value = Chance(60) ? Money(0, 200) : 0;
        for (auto& amount : record.amounts190) amount.value = Chance(40) ? Money(0, 50) : 0;
        for (auto& volume : record.volumes214) volume.value = static_cast<int32_t>(Uniform(0, 5000));
        record.amount222 = Chance(30) ? Money(0, 40) : 0;
        record.value238 = Money(0, 500);
        record.counter250 = static_cast<uint8_t>(Uniform(0, 20));
        if (rc_ == OKV_SUCCESS) rc_ = OKVCreateRec(catalogue_.Handle(FileIndex::Totals), &record);
        ++counts_.totals;
      }
    }
  }

  schema::Catalogue& catalogue_;
  const TransactionDayOptions& options_;
  std::mt19937 random_;
  std::vector<std::string> customers_;
  std::vector<std::string> taxCodes_;
  std::vector<std::string> products_;
  TransactionDayCounts counts_;
  std::string date_;
  uint32_t clock_ = 6 * 3600;
  uint32_t ticket_ = 1000;
  uint32_t written_ = 0;
  uint8_t rc_ = OKV_SUCCESS;
};

}  // namespace

uint8_t WriteTransactionDay(const std::string& folder, const TransactionDayOptions& options,
                            TransactionDayCounts* counts) {
  schema::Catalogue catalogue(folder.empty() || folder.back() == '/' ? folder : folder + "/");
  return DayWriter(catalogue, options).Write(counts);
}

}  // namespace trk::tools
