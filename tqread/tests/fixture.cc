#include "tqread/tests/fixture.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace trk::tqread::testing {

using schema::SetText;

namespace {

constexpr std::string_view kDate = "01/15/25";

void SetHead(CompletedTransaction& record, uint8_t type, std::string_view sale, std::string_view time) {
  SetText(record.head.transDate, kDate);
  SetText(record.head.transTime, time);
  SetText(record.head.text18, "TKT0001");
  SetText(record.head.saleGroupText, sale);
  record.head.recordType = type;
}

}  // namespace

CompletedTransaction Tank(std::string_view access, std::string_view sale, std::string_view time) {
  CompletedTransaction record{};
  SetHead(record, schema::kTankDelivery, sale, time);
  schema::TankDeliveryRecord& tank = record.tank;
  SetText(tank.text41, "T41");
  SetText(tank.accessNumber, access);
  SetText(tank.text78, "T78");
  SetText(tank.productCode, "DSL");
  SetText(tank.startDate, kDate);
  SetText(tank.startTime, "08:01:00");
  SetText(tank.endDate, kDate);
  SetText(tank.endTime, "08:09:00");
  SetText(tank.text140, "ABC");
  SetText(tank.text144, "T144");
  SetText(tank.text155, "T155");
  tank.value166 = 7;
  tank.temperature = 15.5f;
  tank.volumeFormat = schema::kTenths;
  tank.grossVolume = 1234;
  tank.netVolume = 1200;
  tank.value185 = 2.5;
  const double variants[] = {1.5, 2.25, 3.125, 4.5, 5.75};
  for (int k = 0; k < 5; ++k) tank.variantValues[k].value = variants[k];
  tank.rate241 = 2.1;
  tank.amount249 = 252;
  SetText(tank.taxCode, "TC1");
  tank.taxAmounts[0].value = 1.25;
  tank.taxAmounts[2].value = 3.5;
  tank.amount426 = 256.75;
  tank.amount459 = 10;
  return record;
}

CompletedTransaction Summary(std::string_view access, std::string_view sale, std::string_view time) {
  CompletedTransaction record{};
  SetHead(record, schema::kDeliverySummary, sale, time);
  schema::DeliverySummaryRecord& summary = record.summary;
  SetText(summary.numberText41, "1001");
  SetText(summary.numberText49, "2002");
  SetText(summary.accessNumber, access);
  SetText(summary.text70, "INV70");
  SetText(summary.text87, "T87");
  SetText(summary.text96, "T96");
  SetText(summary.summaryDate, kDate);
  SetText(summary.summaryTime, time);
  summary.summaryVolume = 1200;
  summary.saleNumber = 42;
  summary.beginningBalance = 100;
  summary.amount155 = 5;
  summary.totalAmount = 300;
  return record;
}

CompletedTransaction Payment(std::string_view access, std::string_view sale, std::string_view time) {
  CompletedTransaction record{};
  SetHead(record, schema::kReceivedPayment, sale, time);
  schema::ReceivedPaymentRecord& payment = record.payment;
  SetText(payment.numberText102, "1001");
  SetText(payment.numberText110, "2002");
  SetText(payment.accessNumber, access);
  payment.paymentType = 2;
  payment.paymentAmountA = 150;
  return record;
}

CompletedTransaction Event(uint8_t recordType, std::string_view time) {
  CompletedTransaction record{};
  SetHead(record, recordType, "EV", time);
  return record;
}

TotalizerRecord Totals(std::string_view product, std::string_view shiftDate, std::string_view shiftTime) {
  TotalizerRecord record{};
  std::memcpy(record.productCode, product.data(), std::min(product.size(), sizeof record.productCode));
  SetText(record.shiftDate, shiftDate);
  SetText(record.shiftTime, shiftTime);
  SetText(record.text28, "T28");
  SetText(record.text43, "T43");
  SetText(record.text54, "T54");
  record.volumeFormat = schema::kTenths;
  record.value106 = 12.5f;
  return record;
}

void SetCharge(CompletedTransaction& summary, int slot, std::string_view code, double quantity, double unitPrice,
               std::string_view taxCode, double tax, double total) {
  schema::MiscCharge& charge = summary.summary.charges[slot];
  SetText(charge.chargeCode, code);
  charge.quantity = quantity;
  charge.unitPrice = unitPrice;
  SetText(charge.chargeTaxCode, taxCode);
  charge.chargeTax = tax;
  charge.chargeTotal = total;
}

bool RunResult::Logged(std::string_view message) const {
  for (const std::string& line : messages) {
    if (line == message) return true;
  }
  return false;
}

TQReadTest::TQReadTest() : config(schema::DefaultConfigRecord()), office(schema::DefaultOfficeConfigRecord()) {
  config.dispatchRecordFormat = 2;
  config.communicationMethod = 2;  // real-time: a folder without "Totals.trn" is no error
  office.taxFields = 1;  // nine amounts: no tax lookups unless a test asks for them
}

void TQReadTest::Add(FileIndex index, const void* record) {
  schema::Catalogue catalogue(Folder());
  ASSERT_EQ(catalogue.AddCatalogueRecord(index, record), OKV_SUCCESS) << schema::FileNameOf(index);
}

void TQReadTest::AddTransactions(std::initializer_list<CompletedTransaction> records) {
  schema::Catalogue catalogue(Folder());
  for (const CompletedTransaction& record : records) {
    ASSERT_EQ(catalogue.AddCatalogueRecord(FileIndex::CompTran, &record), OKV_SUCCESS);
  }
}

void TQReadTest::AddTotals(std::initializer_list<TotalizerRecord> records) {
  schema::Catalogue catalogue(Folder());
  for (const TotalizerRecord& record : records) {
    ASSERT_EQ(catalogue.AddCatalogueRecord(FileIndex::Totals, &record), OKV_SUCCESS);
  }
}

void TQReadTest::AddCustomer(std::string_view access) {
  schema::CustomerRecord customer{};
  SetText(customer.accessNumber, access);
  Add(FileIndex::Customer, &customer);
}

void TQReadTest::AddTaxCode(std::string_view code, std::initializer_list<std::string_view> references) {
  schema::TaxCodeRecord record{};
  SetText(record.code, code);
  int position = 0;
  for (std::string_view reference : references) SetText(record.reference[position++], reference);
  Add(FileIndex::TaxCode, &record);
}

void TQReadTest::AddTax(std::string_view reference, uint8_t type, double rate) {
  schema::TaxRecord record{};
  SetText(record.reference, reference);
  record.type = type;
  record.rate = rate;
  Add(FileIndex::Tax, &record);
}

void TQReadTest::WriteConfiguration() {
  schema::Catalogue catalogue(Folder());
  for (FileIndex index : {FileIndex::Config, FileIndex::CfgOfc}) ASSERT_EQ(catalogue.DeleteCatalogueFile(index), 0);
  ASSERT_EQ(catalogue.AddCatalogueRecord(FileIndex::Config, &config), OKV_SUCCESS);
  ASSERT_EQ(catalogue.AddCatalogueRecord(FileIndex::CfgOfc, &office), OKV_SUCCESS);
}

RunResult TQReadTest::Run(Variant variant, DeliveryFileOpener opener) {
  WriteConfiguration();
  RunResult result;
  TQReadOptions options{};
  options.databaseFolder = nullptr;  // the program folder, which the fixture points at the test folder
  options.trigger = TQREAD_TRIGGER_OPERATOR;
  options.variant = static_cast<uint8_t>(variant);
  options.omitTraceLines = 1;
  RunHooks hooks;
  hooks.sink = [&result](const std::string& message) { result.messages.push_back(message); };
  hooks.openDeliveryFile = std::move(opener);
  result.outcome = ConversionRun(options, std::move(hooks)).Run();
  return result;
}

std::string TQReadTest::Output() const {
  std::ifstream in(OutputPath(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> TQReadTest::OutputLines() const {
  std::vector<std::string> lines;
  const std::string text = Output();
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "the output ends in the middle of a line";
  return lines;
}

std::vector<CompletedTransaction> TQReadTest::Records(FileIndex index) const {
  std::vector<CompletedTransaction> records;
  schema::Catalogue catalogue(Folder());
  if (catalogue.OpenCatalogueFile(index) != OKV_SUCCESS) return records;
  CompletedTransaction record;
  for (uint8_t rc = OKVReadRecLO(catalogue.Handle(index), 0, &record); rc == OKV_SUCCESS;
       rc = OKVReadRecNX(catalogue.Handle(index), 0, &record)) {
    records.push_back(record);
  }
  return records;
}

uint32_t TQReadTest::RecordCount(FileIndex index) const {
  schema::Catalogue catalogue(Folder());
  uint32_t records = 0;
  uint32_t nodes = 0;
  if (catalogue.OpenCatalogueFile(index) != OKV_SUCCESS) return 0;
  OKVNumRecords(catalogue.Handle(index), &records, &nodes);
  return records;
}

bool TQReadTest::FileExists(FileIndex index) const { return schema::Catalogue(Folder()).FileExists(index); }

}  // namespace trk::tqread::testing
