#include "tqread/app/tests/fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "schema/comptran.h"
#include "schema/records.h"
#include "tools/trangen/generator.h"
#include "tqread/tqread.h"

namespace trk::tqread::app::testing {
namespace {

using schema::FileIndex;
using schema::SetText;

constexpr uint8_t kInvalidRecordType = 12;

schema::CompletedTransaction Transaction(uint8_t type) {
  schema::CompletedTransaction record{};
  SetText(record.head.transDate, "01/15/25");
  SetText(record.head.transTime, "08:00:00");
  SetText(record.head.saleGroupText, "S1");
  record.head.recordType = type;
  return record;
}

void Add(const std::string& folder, FileIndex index, const void* record) {
  schema::Catalogue catalogue(folder);
  ASSERT_EQ(catalogue.AddCatalogueRecord(index, record), OKV_SUCCESS) << schema::FileNameOf(index);
}

}  // namespace

const char* NameOf(RunKind kind) {
  switch (kind) {
    case RunKind::Clean: return "clean";
    case RunKind::ErrorSeen: return "error seen";
    case RunKind::ConversionFailed: return "conversion failed";
  }
  return "?";
}

ProgramFolder::ProgramFolder() { setenv("XDG_CONFIG_HOME", temp_.PathOf("config").c_str(), 1); }

void WriteConfig(const std::string& folder, uint8_t communicationMethod) {
  schema::Catalogue catalogue(folder);
  ASSERT_EQ(catalogue.DeleteCatalogueFile(FileIndex::Config), OKV_SUCCESS);
  schema::ConfigRecord config = schema::DefaultConfigRecord();
  config.communicationMethod = communicationMethod;
  ASSERT_EQ(catalogue.AddCatalogueRecord(FileIndex::Config, &config), OKV_SUCCESS);
}

void PrepareRun(const std::string& folder, RunKind kind) {
  switch (kind) {
    case RunKind::Clean: {
      schema::Catalogue catalogue(folder);
      ASSERT_EQ(catalogue.CreateCatalogueFile(FileIndex::CompTran), OKV_SUCCESS);
      break;
    }
    case RunKind::ErrorSeen: {
      schema::CompletedTransaction tank = Transaction(schema::kTankDelivery);
      SetText(tank.tank.accessNumber, "A100");
      Add(folder, FileIndex::CompTran, &tank);
      break;
    }
    case RunKind::ConversionFailed: {
      const schema::CompletedTransaction invalid = Transaction(kInvalidRecordType);
      Add(folder, FileIndex::CompTran, &invalid);
      // Totals to convert, so that no method misses "Totals.trn".
      schema::TotalizerRecord totals{};
      SetText(totals.shiftDate, "01/15/25");
      Add(folder, FileIndex::Totals, &totals);
      break;
    }
  }
}

void WriteTransactionDay(const std::string& folder, uint32_t pendingSales) {
  tools::TransactionDayOptions options;
  options.records = 60;
  options.pendingSales = pendingSales;
  ASSERT_EQ(tools::WriteTransactionDay(folder, options, nullptr), OKV_SUCCESS);
}

std::string DeliveryFileOfDay(const std::string& scratch, uint8_t communicationMethod, uint32_t pendingSales) {
  std::filesystem::create_directories(scratch);
  WriteConfig(scratch, communicationMethod);
  WriteTransactionDay(scratch, pendingSales);
  const std::string destination = scratch + "DELREAD.DAT";
  TQReadOptions options{};
  options.destinationFile = destination.c_str();
  options.databaseFolder = scratch.c_str();
  options.trigger = TQREAD_TRIGGER_OPERATOR;
  TQReadRun(&options, nullptr, nullptr, nullptr, nullptr);
  return ReadFile(destination);
}

uint32_t RecordCount(const std::string& folder, FileIndex index) {
  schema::Catalogue catalogue(folder);
  uint32_t records = 0;
  uint32_t nodes = 0;
  if (catalogue.OpenCatalogueFile(index) != OKV_SUCCESS) return 0;
  OKVNumRecords(catalogue.Handle(index), &records, &nodes);
  return records;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

}  // namespace trk::tqread::app::testing
