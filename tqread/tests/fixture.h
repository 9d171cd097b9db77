// A database folder of its own per test, hand-built completed transactions and
// setup records, and a run that captures its messages and output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "schema/catalogue.h"
#include "schema/comptran.h"
#include "schema/records.h"
#include "schema/tests/temp_folder.h"
#include "tqread/conversion.h"

namespace trk::tqread::testing {

using schema::CompletedTransaction;
using schema::FileIndex;
using schema::TotalizerRecord;

// Records with distinct, readable defaults; tests change the fields they need.
// Every record is dated "01/15/25" unless changed.
CompletedTransaction Tank(std::string_view access, std::string_view sale, std::string_view time = "08:00:00");
CompletedTransaction Summary(std::string_view access, std::string_view sale, std::string_view time = "08:10:00");
CompletedTransaction Payment(std::string_view access, std::string_view sale, std::string_view time = "08:11:00");
CompletedTransaction Event(uint8_t recordType, std::string_view time = "09:00:00");
TotalizerRecord Totals(std::string_view product, std::string_view shiftDate, std::string_view shiftTime = "06:00:00");
void SetCharge(CompletedTransaction& summary, int slot, std::string_view code, double quantity, double unitPrice,
               std::string_view taxCode, double tax, double total);

// The blank fields that end a delivery line of record format 1.
inline const std::string kFormat1Tail =
    ",\"" + std::string(24, ' ') + "\",\"" + std::string(24, ' ') + "\",\"" + std::string(16, ' ') + "\"";

struct RunResult {
  TQReadOutcome outcome{};
  std::vector<std::string> messages;
  bool Logged(std::string_view message) const;
};

class TQReadTest : public ::testing::Test {
 protected:
  TQReadTest();

  std::string Folder() const { return temp_.Folder(); }
  std::string OutputPath() const { return temp_.PathOf("DELREAD.DAT"); }

  void AddTransactions(std::initializer_list<CompletedTransaction> records);
  void AddTotals(std::initializer_list<TotalizerRecord> records);
  void AddCustomer(std::string_view access);
  void AddTaxCode(std::string_view code, std::initializer_list<std::string_view> references);
  void AddTax(std::string_view reference, uint8_t type, double rate);
  // Record format 2 and real-time communication unless a test changes them.
  schema::ConfigRecord config;
  schema::OfficeConfigRecord office;
  // Writes config and office into the folder (done by Run).
  void WriteConfiguration();

  RunResult Run(Variant variant = Variant::Standalone, DeliveryFileOpener opener = {});
  std::string Output() const;
  // The lines of the output, each without its CR LF.
  std::vector<std::string> OutputLines() const;
  std::vector<CompletedTransaction> Records(FileIndex index) const;
  uint32_t RecordCount(FileIndex index) const;
  bool FileExists(FileIndex index) const;

 private:
  void Add(FileIndex index, const void* record);

  trk::testing::TempFolder temp_;
};

}  // namespace trk::tqread::testing
