// Fuzz entry point: arbitrary bytes as a dispatch text file, read and handled by
// a whole conversion of each variant into a scratch database folder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tqload/tqload.h"

namespace {

std::filesystem::path ScratchFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tqload-fuzz-XXXXXX").string();
    const std::filesystem::path made = mkdtemp(pattern.data());
    setenv("TRK_LOCK_DIR", made.c_str(), 1);
    return made;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path folder = ScratchFolder();
  for (const uint8_t variant : {TQLOAD_VARIANT_CONSOLE, TQLOAD_VARIANT_OFFICE}) {
    // Every input starts from an empty database so runs do not depend on order.
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() != ".lock") std::filesystem::remove_all(entry.path());
    }
    const std::string source = (folder / "DELLOAD.DAT").string();
    if (std::FILE* file = std::fopen(source.c_str(), "wb")) {
      std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
    const std::string database = folder.string() + "/";
    TQLoadOptions options{};
    options.sourceFile = source.c_str();
    options.databaseFolder = database.c_str();
    options.variant = variant;
    TQLoadRun(&options, [](void*, const char*) {}, [](void*, uint32_t, uint32_t) {}, nullptr);
  }
  return 0;
}
