// tqreadcmd: runs one TQRead conversion from a shell, for scripts and the demo,
// with the stand-alone converter's command line: [destination file [database
// folder]]. Messages go to standard output, one per line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "tqread/tqread.h"

namespace {

constexpr const char* kUsage =
    "usage: tqreadcmd [--office] [--trigger N] [--no-trace] [DESTINATION [DATABASE_FOLDER]]\n"
    "  Converts CompTran.trn and Totals.trn of the database folder (default: the program's\n"
    "  folder, or $TRK_FOLDER) into the delivery text file (default: the office configuration's\n"
    "  destination, else DELREAD.DAT in the folder). Exit status 0 when the run was clean,\n"
    "  1 when it reported errors, 2 for a bad command line.\n";

void PrintMessage(void*, const char* message) { std::printf("%s\n", message); }

}  // namespace

int main(int argc, char** argv) {
  TQReadOptions options{};
  options.trigger = TQREAD_TRIGGER_OPERATOR;
  std::vector<const char*> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--office") {
      options.variant = TQREAD_VARIANT_OFFICE;
    } else if (argument == "--no-trace") {
      options.omitTraceLines = 1;
    } else if (argument == "--trigger" && i + 1 < argc) {
      options.trigger = static_cast<int32_t>(std::strtol(argv[++i], nullptr, 10));
    } else if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!argument.empty() && argument[0] != '-' && paths.size() < 2) {
      paths.push_back(argv[i]);
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (!paths.empty()) options.destinationFile = paths[0];
  if (paths.size() > 1) options.databaseFolder = paths[1];
  TQReadOutcome outcome{};
  const uint8_t result = TQReadRun(&options, PrintMessage, nullptr, nullptr, &outcome);
  std::printf("conversionOk=%u errorSeen=%u records=%u processed=%u\n", outcome.conversionOk, outcome.errorSeen,
              outcome.recordsAtStart, outcome.recordsProcessed);
  return result == TQREAD_OK ? 0 : 1;
}
