// Writes a realistic day of a truck's completed transactions ("CompTran.trn")
// and meter totals ("Totals.trn") into a database folder, through the engine.
//
// The day is what a register records: deliveries of one to three tanks followed
// by their summary and usually a payment, stand-alone summaries (with charges or
// without), payments on account, event records (recirculation, out of gas, DOT,
// cylinders), over several shift dates, and at the end of the day sales whose
// summary has not been written yet. Access numbers, tax codes and products come
// from the folder's "Customer.zdb", "TaxCode.zdb" and "Product.zdb" when they
// exist (so a day fits a folder that TQLoad filled), else from built-in lists.
// The same options give the same records.
#pragma once

#include <cstdint>
#include <string>

namespace trk::tools {

struct TransactionDayOptions {
  uint32_t records = 200;      // completed transactions to write, exactly
  uint32_t shiftDates = 2;     // the day's records spread over this many dates
  uint32_t pendingSales = 2;   // sales at the end whose summary has not arrived
  uint32_t seed = 1;
  std::string firstDate = "01/15/25";  // MM/DD/YY; later shifts follow day by day
};

struct TransactionDayCounts {
  uint32_t transactions = 0;
  uint32_t totals = 0;
  uint32_t sales = 0;
  uint32_t pendingTanks = 0;
};

// Adds the day to the folder's files (creating them when missing). Returns 0 or
// the engine's result code of the first failure.
uint8_t WriteTransactionDay(const std::string& folder, const TransactionDayOptions& options,
                            TransactionDayCounts* counts);

}  // namespace trk::tools
