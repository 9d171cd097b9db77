// What only this machine's side shows: the checks before any action (absent
// pointers, the link, node numbers), text mode, the root as current folder,
// and the version text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "tqpfs/tests/api_test_support.h"

namespace trk::tqpfs::testing {
namespace {

constexpr int kLocal = TQP_LOCAL_NODE;

TEST(LocalApiTest, AbsentPointersAreRefusedBeforeAnything) {
  WorkFolder work;
  int value = 0;
  int16_t small = 0;
  uint8_t byte = 0;
  uint16_t year = 0;
  uint32_t word = 0;
  char text[255];
  TQPFindInfo info{};
  const std::pair<const char*, std::function<uint8_t(int)>> calls[] = {
      {"open path", [&](int n) { return TQPopen(n, nullptr, nullptr, 0, 0, &value); }},
      {"open handle", [&](int n) { return TQPopen(n, nullptr, "x", 0, 0, nullptr); }},
      {"creat", [&](int n) { return TQPcreat(n, nullptr, "x", 0, nullptr); }},
      {"close", [&](int n) { return TQPclose(n, nullptr, 3, nullptr); }},
      {"read buffer", [&](int n) { return TQPread(n, nullptr, 3, nullptr, 1, &value); }},
      {"write count", [&](int n) { return TQPwrite(n, nullptr, 3, text, 1, nullptr); }},
      {"lseek", [&](int n) { return TQPlseek(n, nullptr, 3, 0, 0, nullptr); }},
      {"rename", [&](int n) { return TQPrename(n, nullptr, "a", nullptr, &value); }},
      {"getattrib", [&](int n) { return TQPgetattrib(n, nullptr, "a", nullptr, &value); }},
      {"getdate", [&](int n) { return TQPgetdate(n, nullptr, "a", &year, &byte, &byte, &byte, nullptr, &byte, &value); }},
      {"getosdate", [&](int n) { return TQPgetosdate(n, nullptr, &year, &byte, &byte, &byte, &byte, &byte, nullptr); }},
      {"gdir", [&](int n) { return TQPgdir(n, nullptr, 0, nullptr, &value); }},
      {"drive", [&](int n) { return TQPdrive(n, nullptr, 0, &word, &word, nullptr, &word, &value); }},
      {"first", [&](int n) { return TQPfirst(n, nullptr, "*", 0, &value, nullptr, &small); }},
      {"next", [&](int n) { return TQPnext(n, nullptr, 1, &info, nullptr); }},
      {"download count", [&](int n) { return TQPdownloadCount(n, nullptr, nullptr); }},
  };
  for (const auto& [what, call] : calls) {
    EXPECT_EQ(call(kLocal), TQP_MISSING_ARGUMENT) << what;
    EXPECT_EQ(call(300), TQP_MISSING_ARGUMENT) << what << ": before the node checks";
  }
}

TEST(LocalApiTest, NodeChecksComeInTheirOrder) {
  WorkFolder work;
  int handle = 77;
  uint16_t database = 0;
  // Not installed comes first, whatever the node; then the node number; then the size.
  EXPECT_EQ(TQPopen(300, nullptr, "x", 0, 0, &handle), TQP_NOT_INSTALLED);
  EXPECT_EQ(TQPOKVOpenFile(2, nullptr, "x", 1, &database), TQP_NOT_INSTALLED);
  EXPECT_EQ(TQPcompare(2, nullptr), TQP_NOT_INSTALLED);
  ASSERT_EQ(TQPIPInstall(0, "office", kClientNode, 200, 0, 0), TQP_OK);
  EXPECT_EQ(TQPopen(256, nullptr, "x", 0, 0, &handle), TQP_BAD_NODE);
  EXPECT_EQ(TQPopen(-1, nullptr, "x", 0, 0, &handle), TQP_BAD_NODE);
  EXPECT_EQ(TQPopen(256, nullptr, std::string(300, 'p').c_str(), 0, 0, &handle), TQP_BAD_NODE);
  EXPECT_EQ(TQPOKVOpenFile(256, nullptr, "x", 1, &database), TQP_BAD_NODE);
  EXPECT_EQ(TQPOKVReadRec(256, nullptr, 1, &handle), TQP_BAD_NODE);
  EXPECT_EQ(handle, 77) << "untouched";
  EXPECT_EQ(TQPopen(2, nullptr, "x", 0, 0, &handle), TQP_NO_CONNECTION) << "the link's own result: node 2 unknown";
  TQPUninstall();
}

TEST(LocalApiTest, TextModeDeliversCrLfAsLf) {
  WorkFolder work;
  std::ofstream("t.txt", std::ios::binary) << "a\r\nb\r\n\r\nc\rd";
  int handle = -1, got = 0, result = 0;
  ASSERT_EQ(TQPopen(kLocal, nullptr, "t.txt", TQP_O_RDONLY | TQP_O_TEXT, 0, &handle), TQP_OK);
  char buffer[64] = {};
  // The CR at the end of the first two bytes is paired with the LF after it.
  ASSERT_EQ(TQPread(kLocal, nullptr, handle, buffer, 2, &got), TQP_OK);
  EXPECT_EQ(std::string(buffer, got), "a\n");
  ASSERT_EQ(TQPread(kLocal, nullptr, handle, buffer, sizeof buffer, &got), TQP_OK);
  EXPECT_EQ(std::string(buffer, got), "b\n\nc\rd") << "a lone CR stays";
  EXPECT_EQ(TQPclose(kLocal, nullptr, handle, &result), TQP_OK);

  ASSERT_EQ(TQPopen(kLocal, nullptr, "t.txt", TQP_O_RDONLY | TQP_O_BINARY, 0, &handle), TQP_OK);
  ASSERT_EQ(TQPread(kLocal, nullptr, handle, buffer, sizeof buffer, &got), TQP_OK);
  EXPECT_EQ(got, 11) << "binary mode delivers every byte";
  EXPECT_EQ(TQPclose(kLocal, nullptr, handle, &result), TQP_OK);
}

TEST(LocalApiTest, RootAsCurrentFolderGivesAnEmptyText) {
  WorkFolder work;
  int result = -99;
  ASSERT_EQ(TQPcdir(kLocal, nullptr, "/", &result), TQP_OK);
  ASSERT_EQ(result, 0);
  char directory[255] = "untouched";
  EXPECT_EQ(TQPgdir(kLocal, nullptr, 0, directory, &result), TQP_OK);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(directory, "");
  EXPECT_EQ(TQPcdir(kLocal, nullptr, "/no/such/folder", &result), TQP_OK);
  EXPECT_EQ(result, -1);
}

TEST(LocalApiTest, CloseAllFindsEndsEveryLocalSearch) {
  WorkFolder work;
  std::ofstream("a") << "a";
  std::ofstream("b") << "b";
  int first = 0, second = 0;
  int16_t result = -99;
  TQPFindInfo info{};
  ASSERT_EQ(TQPfirst(kLocal, nullptr, "a", TQP_FIND_FILES, &first, &info, &result), TQP_OK);
  ASSERT_EQ(TQPfirst(kLocal, nullptr, "b", TQP_FIND_FILES, &second, &info, &result), TQP_OK);
  EXPECT_EQ(TQPcloseallfinds(), TQP_OK);
  for (int handle : {first, second}) {
    EXPECT_EQ(TQPnext(kLocal, nullptr, handle, &info, &result), TQP_OK);
    EXPECT_EQ(result, -1);
  }
  EXPECT_EQ(TQPfirst(kLocal, nullptr, "/no/such/folder/*", TQP_FIND_FILES, &first, &info, &result), TQP_OK);
  EXPECT_EQ(result, 1) << "nothing found";
}

TEST(LocalApiTest, RequestsOfTheServingNodeDoNothingHere) {
  WorkFolder work;
  int count = -1;
  EXPECT_EQ(TQPabort(kLocal, nullptr), TQP_OK);
  EXPECT_EQ(TQPslave(kLocal, nullptr, 5), TQP_OK);
  EXPECT_EQ(TQPcompare(kLocal, nullptr), TQP_OK);
  EXPECT_EQ(TQPfsreq(kLocal, nullptr), TQP_OK);
  EXPECT_EQ(TQPdownloadCount(kLocal, nullptr, &count), TQP_OK);
  EXPECT_EQ(count, 0);
  EXPECT_STREQ(verTQTQPF, "v1.09");
  int exists = -1;
  EXPECT_EQ(TQPOKVFileExists(kLocal, nullptr, "missing.okv", &exists), OKV_SUCCESS);
  EXPECT_EQ(exists, 0);
  EXPECT_EQ(TQPOKVFileExists(kLocal, nullptr, "missing.okv", nullptr), OKV_PARAMETER);
}

}  // namespace
}  // namespace trk::tqpfs::testing
