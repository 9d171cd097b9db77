// A fresh temporary folder per test, with the lock folder and program folder
// pointed into it, removed again at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace trk::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "trk-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    setenv("TRK_LOCK_DIR", path_.c_str(), 1);
    setenv("TRK_FOLDER", path_.c_str(), 1);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder with a trailing '/', ready for file names to be appended.
  std::string Folder() const { return path_.string() + "/"; }
  std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace trk::testing
