// Database folders for TRKTQRead's tests: a temporary program folder (with the
// lock folder and the settings folder inside it), the Config record with a
// communication method, and completed transactions that make a run clean, make
// it report an error, or make its conversion fail.
#pragma once

#include <cstdint>
#include <string>

#include "schema/catalogue.h"
#include "schema/tests/temp_folder.h"

namespace trk::tqread::app::testing {

// What the next run in a folder will report.
enum class RunKind {
  Clean,             // nothing to convert, nothing wrong
  ErrorSeen,         // a sale whose summary has not arrived: errorSeen
  ConversionFailed,  // an invalid record type: conversionOk cleared, no error seen
};
const char* NameOf(RunKind kind);

// Sets TRK_FOLDER, TRK_LOCK_DIR and XDG_CONFIG_HOME to a fresh temporary folder.
class ProgramFolder {
 public:
  ProgramFolder();
  // The folder with a trailing '/'.
  std::string Folder() const { return temp_.Folder(); }
  std::string PathOf(const std::string& name) const { return temp_.PathOf(name); }

 private:
  trk::testing::TempFolder temp_;
};

// Replaces "Config.zdb" with the default record and this communication method.
void WriteConfig(const std::string& folder, uint8_t communicationMethod);
void PrepareRun(const std::string& folder, RunKind kind);
// A generated day of a truck: deliveries, summaries, payments and totals; the
// last `pendingSales` sales lack their summary.
void WriteTransactionDay(const std::string& folder, uint32_t pendingSales);
// The delivery text file that a run of the library itself makes of the same day
// (in `scratch`, an empty folder), to compare the program's file with.
std::string DeliveryFileOfDay(const std::string& scratch, uint8_t communicationMethod, uint32_t pendingSales);

uint32_t RecordCount(const std::string& folder, schema::FileIndex index);
std::string ReadFile(const std::string& path);

}  // namespace trk::tqread::app::testing
