// Completed transactions per second of a whole TQRead conversion.
//
//   tqread_bench [RECORDS...]        (default: 1000 10000 100000)
//
// For each size a realistic day (tools/trangen: every kind of sale, three shift
// dates, two sales still waiting for their summary) is written into a fresh
// folder and converted once by the stand-alone variant into "DELREAD.DAT" on
// disk. The time covers the whole run: returning, the inventory pass, the
// totalizer lines, every group written and flushed before its records are
// deleted, closing and parking. It is measured twice: with the builder's trace
// lines that the stand-alone converter logs, and without them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/trangen/generator.h"
#include "tqread/tqread.h"

namespace {

struct Outcome {
  double seconds;
  size_t messages;
  uint64_t outputBytes;
  TQReadOutcome run;
};

Outcome ConvertOnce(const std::filesystem::path& folder, uint32_t records, bool traceLines) {
  std::filesystem::create_directories(folder);
  trk::tools::TransactionDayOptions day;
  day.records = records;
  day.shiftDates = 3;
  trk::tools::WriteTransactionDay(folder.string() + "/", day, nullptr);

  const std::string database = folder.string() + "/";
  const std::string destination = (folder / "DELREAD.DAT").string();
  TQReadOptions options{};
  options.databaseFolder = database.c_str();
  options.destinationFile = destination.c_str();
  options.trigger = TQREAD_TRIGGER_OPERATOR;
  options.omitTraceLines = traceLines ? 0 : 1;
  Outcome outcome{};
  const auto start = std::chrono::steady_clock::now();
  TQReadRun(&options, [](void* count, const char*) { ++*static_cast<size_t*>(count); }, nullptr, &outcome.messages,
            &outcome.run);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  outcome.seconds = elapsed.count();
  outcome.outputBytes = std::filesystem::file_size(destination);
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint32_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10)));
  if (sizes.empty()) sizes = {1000, 10000, 100000};

  std::string pattern = (std::filesystem::temp_directory_path() / "tqread-bench-XXXXXX").string();
  const std::filesystem::path root = mkdtemp(pattern.data());
  setenv("TRK_LOCK_DIR", root.c_str(), 1);
  std::printf("%10s %6s %10s %12s %12s %10s\n", "records", "trace", "seconds", "records/s", "output bytes", "messages");
  for (const uint32_t records : sizes) {
    for (const bool traceLines : {true, false}) {
      const std::filesystem::path folder = root / (std::to_string(records) + (traceLines ? "-trace" : ""));
      const Outcome outcome = ConvertOnce(folder, records, traceLines);
      std::printf("%10u %6s %10.2f %12.0f %12llu %10zu%s\n", records, traceLines ? "on" : "off", outcome.seconds,
                  records / outcome.seconds, static_cast<unsigned long long>(outcome.outputBytes), outcome.messages,
                  outcome.run.conversionOk && outcome.run.recordsProcessed == records ? "" : "  (run failed)");
      std::fflush(stdout);
      std::filesystem::remove_all(folder);
    }
  }
  std::filesystem::remove_all(root);
  return 0;
}
