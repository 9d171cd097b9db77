// TRKTQLoad [source file [database folder]]
//
// Converts the dispatch text file into the truck's database files, logging to
// "TRKTQLoad.txt" in the current folder. Exit code 0 when the run ended without
// an error, 1 when the log reports one.
#include <cstdio>
#include <memory>
#include <string>

#include "okv/okv.h"
#include "platform/platform.h"
#include "tqload/tqload.h"

namespace {

constexpr const char* kLogName = "TRKTQLoad.txt";
constexpr const char* kNotice = "Converts the dispatch text file into the TRK database files.";

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

void WriteToLog(void* context, const char* message) {
  if (auto* log = static_cast<std::FILE*>(context)) std::fprintf(log, "%s\n", message);
}

}  // namespace

int main(int argc, char** argv) {
  FilePtr log(std::fopen(kLogName, "w"), &std::fclose);
  char banner[128];
  std::snprintf(banner, sizeof banner, "TRK TQLoad %s\tOKV Library %s\n%s\n\n\n", verTQLoad, verPWOKV, kNotice);
  std::fputs(banner, stdout);
  if (log) std::fputs(banner, log.get());

  const std::string folder = argc > 2 ? std::string(argv[2]) : trk::platform::ProgramFolder();
  TQLoadOptions options{};
  options.sourceFile = argc > 1 ? argv[1] : nullptr;
  options.databaseFolder = folder.c_str();
  options.variant = TQLOAD_VARIANT_CONSOLE;
  const uint8_t result = TQLoadRun(&options, &WriteToLog, nullptr, log.get());
  log.reset();

  std::fputs("TRK database file generation complete.\n", stdout);
  if (result != TQLOAD_OK) {
    std::fputs("An error occurred during OKV file generation. Please check TRKTQLoad.txt.\n", stdout);
    return 1;
  }
  return 0;
}
