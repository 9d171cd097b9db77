// Lines per second of a whole TQLoad conversion.
//
//   tqload_bench [LINES...]        (default: 1000 10000 100000)
//
// For each size a dispatch file is generated into a fresh folder and converted
// once into an empty database there; the time covers the whole run (setup
// files, every line, close-down). Run under `perf record` to see how much of it
// the engine takes (see the report beside this file's CMakeLists.txt).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/dispatchgen/dispatch_generator.h"
#include "tqload/tqload.h"

namespace {

struct Outcome {
  double seconds;
  size_t messages;
  uint8_t result;
};

Outcome ConvertOnce(const std::filesystem::path& folder, size_t lines) {
  const std::filesystem::path source = folder / "DELLOAD.DAT";
  {
    std::ofstream out(source, std::ios::binary);
    trk::tools::WriteDispatchText(out, lines);
  }
  const std::string database = folder.string() + "/";
  TQLoadOptions options{};
  const std::string sourceText = source.string();
  options.sourceFile = sourceText.c_str();
  options.databaseFolder = database.c_str();
  options.variant = TQLOAD_VARIANT_CONSOLE;
  size_t messages = 0;
  const auto start = std::chrono::steady_clock::now();
  const uint8_t result = TQLoadRun(&options, [](void* count, const char*) { ++*static_cast<size_t*>(count); }, nullptr,
                                   &messages);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return {elapsed.count(), messages, result};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoull(argv[i], nullptr, 10));
  if (sizes.empty()) sizes = {1000, 10000, 100000};

  std::string pattern = (std::filesystem::temp_directory_path() / "tqload-bench-XXXXXX").string();
  const std::filesystem::path root = mkdtemp(pattern.data());
  setenv("TRK_LOCK_DIR", root.c_str(), 1);
  std::printf("%10s %10s %12s %10s\n", "lines", "seconds", "lines/s", "messages");
  for (const size_t lines : sizes) {
    const std::filesystem::path folder = root / std::to_string(lines);
    std::filesystem::create_directories(folder);
    const Outcome outcome = ConvertOnce(folder, lines);
    std::printf("%10zu %10.3f %12.0f %10zu%s\n", lines, outcome.seconds, lines / outcome.seconds, outcome.messages,
                outcome.result == TQLOAD_OK ? "" : "  (run reported errors)");
    std::fflush(stdout);
  }
  std::filesystem::remove_all(root);
  return 0;
}
