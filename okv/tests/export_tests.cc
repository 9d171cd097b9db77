// The shared library as programs load it: its exports work end to end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "okv/okv.h"

namespace {

TEST(SharedLibrary, ExportsTheEngine) {
  const auto dir = std::filesystem::temp_directory_path() / ("okv-export-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  setenv("TRK_LOCK_DIR", dir.c_str(), 1);
  const std::string path = (dir / "x.okv").string();
  uint16_t key = 0, handle = 0;
  ASSERT_EQ(OKVCreateFile(path.c_str(), OKV_OPEN_FLAGS_DEFAULT, 8, 0, nullptr, "export", 1), OKV_SUCCESS);
  ASSERT_EQ(OKVCreateKey(path.c_str(), OKV_KEY_UNSIGNED, 0, 4, &key), OKV_SUCCESS);
  ASSERT_EQ(OKVFinalizeCreate(path.c_str()), OKV_SUCCESS);
  ASSERT_EQ(OKVOpenFile(path.c_str(), 1, &handle), OKV_SUCCESS);
  const uint8_t record[8] = {5, 0, 0, 0, 'r'};
  ASSERT_EQ(OKVCreateRec(handle, record), OKV_SUCCESS);
  uint8_t back[8] = {};
  const uint32_t five = 5;
  ASSERT_EQ(OKVReadRecEQ(handle, 0, &five, back), OKV_SUCCESS);
  EXPECT_EQ(std::memcmp(back, record, 8), 0);
  EXPECT_EQ(OKVCloseFile(handle), OKV_SUCCESS);
  EXPECT_STREQ(verPWOKV, "v1.10");
  EXPECT_STREQ(OKVResultMessage(OKV_RECORD_NOT_FOUND), "Record not found.");
  std::filesystem::remove_all(dir);
}

}  // namespace
