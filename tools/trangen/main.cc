// trangen: writes a realistic day of completed transactions and meter totals
// into a database folder, for demonstrations, tests and benchmarks.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/trangen/generator.h"

namespace {

constexpr const char* kUsage =
    "usage: trangen FOLDER [--records N] [--shifts N] [--pending N] [--seed N] [--date MM/DD/YY]\n"
    "  Adds N completed transactions (default 200) to FOLDER/CompTran.trn and the day's meter\n"
    "  totals to FOLDER/Totals.trn: deliveries of one to three tanks with their summary and\n"
    "  payment, sales without delivery, payments, event records, over --shifts dates (default 2),\n"
    "  ending with --pending sales (default 2) whose summary has not arrived yet.\n";

bool ParseNumber(const char* text, uint32_t* value) {
  char* end = nullptr;
  const unsigned long number = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || number > 100000000UL) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string_view(argv[1]) == "--help") {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  trk::tools::TransactionDayOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string_view name = argv[i];
    const char* value = i + 1 < argc ? argv[++i] : "";
    bool ok = true;
    if (name == "--records") {
      ok = ParseNumber(value, &options.records);
    } else if (name == "--shifts") {
      ok = ParseNumber(value, &options.shiftDates);
    } else if (name == "--pending") {
      ok = ParseNumber(value, &options.pendingSales);
    } else if (name == "--seed") {
      ok = ParseNumber(value, &options.seed);
    } else if (name == "--date") {
      options.firstDate = value;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "trangen: bad option %s %s\n%s", argv[i - 1], value, kUsage);
      return 2;
    }
  }
  trk::tools::TransactionDayCounts counts;
  const uint8_t rc = trk::tools::WriteTransactionDay(argv[1], options, &counts);
  if (rc != 0) {
    std::fprintf(stderr, "trangen: the engine failed with result %u\n", rc);
    return 1;
  }
  std::printf("%u completed transactions (%u sales, %u tanks waiting for their summary) and %u totalizer records"
              " written to %s\n",
              counts.transactions, counts.sales, counts.pendingTanks, counts.totals, argv[1]);
  return 0;
}
