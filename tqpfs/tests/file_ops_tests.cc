// The file operations with the same results on this machine (node 0xFFFF)
// and on a serving node over loopback TCP and over a serial link (socat ptys).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "tqpfs/tests/api_test_support.h"

namespace trk::tqpfs::testing {
namespace {

namespace fs = std::filesystem;

class FileOpsTest : public NodeTest {
 protected:
  int Open(const char* path, int flags, int mode = TQP_S_IREAD | TQP_S_IWRITE) {
    int handle = -99;
    EXPECT_EQ(TQPopen(node(), nullptr, path, flags, mode, &handle), TQP_OK) << path;
    return handle;
  }
  int Call(uint8_t (*call)(int, TQPNodeAddress*, int, int*), int handle) {
    int result = -99;
    EXPECT_EQ(call(node(), nullptr, handle, &result), TQP_OK);
    return result;
  }
  int PathCall(uint8_t (*call)(int, TQPNodeAddress*, const char*, int*), const char* path) {
    int result = -99;
    EXPECT_EQ(call(node(), nullptr, path, &result), TQP_OK) << path;
    return result;
  }
  int Write(int handle, const std::string& text) {
    int written = -99;
    EXPECT_EQ(TQPwrite(node(), nullptr, handle, text.data(), static_cast<unsigned>(text.size()), &written), TQP_OK);
    return written;
  }
  std::string Read(int handle, unsigned count) {
    std::string buffer(count + 1, '\0');
    int got = -99;
    EXPECT_EQ(TQPread(node(), nullptr, handle, buffer.data(), count, &got), TQP_OK);
    return got < 0 ? "<failed>" : buffer.substr(0, static_cast<size_t>(got));
  }
  int Seek(int handle, int offset, int origin) {
    int position = -99;
    EXPECT_EQ(TQPlseek(node(), nullptr, handle, offset, origin, &position), TQP_OK);
    return position;
  }
  int Attributes(const char* path) {
    int attributes = -99, result = -99;
    EXPECT_EQ(TQPgetattrib(node(), nullptr, path, &attributes, &result), TQP_OK);
    return result == 0 ? attributes : -1;
  }
  // Every name a search finds, in the order found; the search is closed.
  std::set<std::string> Find(const char* path, int flags) {
    std::set<std::string> names;
    int handle = 0;
    int16_t result = -99;
    TQPFindInfo info{};
    EXPECT_EQ(TQPfirst(node(), nullptr, path, flags, &handle, &info, &result), TQP_OK);
    if (result != 0) return names;
    while (result == 0) {
      names.insert(info.longName);
      EXPECT_EQ(TQPnext(node(), nullptr, handle, &info, &result), TQP_OK);
    }
    EXPECT_EQ(result, 1) << "a finished search reports 1";
    EXPECT_EQ(TQPclosefind(node(), nullptr, handle, &result), TQP_OK);
    EXPECT_EQ(result, 0);
    return names;
  }
};

TEST_P(FileOpsTest, FileLifeCycle) {
  int handle = -99;
  ASSERT_EQ(TQPcreat(node(), nullptr, "a.dat", TQP_S_IREAD | TQP_S_IWRITE, &handle), TQP_OK);
  ASSERT_GE(handle, 0);
  EXPECT_EQ(Write(handle, "hello world"), 11);
  EXPECT_EQ(Read(handle, 5), "<failed>") << "creat opens for writing only";
  EXPECT_EQ(Call(TQPclose, handle), 0);
  EXPECT_EQ(Call(TQPclose, handle), -1) << "closed already";

  handle = Open("a.dat", TQP_O_RDWR | TQP_O_BINARY);
  ASSERT_GE(handle, 0);
  EXPECT_EQ(Read(handle, 5), "hello");
  EXPECT_EQ(Call(TQPtell, handle), 5);
  EXPECT_EQ(Call(TQPeof, handle), 0);
  EXPECT_EQ(Read(handle, 0), "");
  EXPECT_EQ(Seek(handle, 0, TQP_SEEK_END), 11);
  EXPECT_EQ(Call(TQPeof, handle), 1);
  EXPECT_EQ(Seek(handle, -6, TQP_SEEK_CUR), 5);
  EXPECT_EQ(Call(TQPseteof, handle), 0) << "cuts the file here";
  EXPECT_EQ(Seek(handle, 0, TQP_SEEK_END), 5);
  EXPECT_EQ(Seek(handle, -1, TQP_SEEK_SET), -1);
  EXPECT_EQ(Seek(handle, 0, 3), -1) << "no such origin";
  EXPECT_EQ(Call(TQPcommit, handle), 0);
  EXPECT_EQ(Call(TQPclose, handle), 0);
  EXPECT_EQ(fs::file_size(Served("a.dat")), 5u);

  // One answer carries at most 253 bytes; a local read takes all it is asked for.
  std::ofstream(Served("big.dat")) << std::string(600, 'b');
  handle = Open("big.dat", TQP_O_RDONLY);
  EXPECT_EQ(Read(handle, 400).size(), local() ? 400u : 253u);
  EXPECT_EQ(Call(TQPclose, handle), 0);
  EXPECT_EQ(Call(TQPeof, 999), -1) << "a handle never opened";
}

TEST_P(FileOpsTest, OpenFlagsAndPermissionModes) {
  std::ofstream(Served("old.dat")) << "0123456789";
  fs::create_directory(Served("folder"));
  struct Case {
    const char* what;
    const char* path;
    int flags;
    int mode;
    bool opens;
  };
  const Case cases[] = {
      {"exclusive on an existing file", "old.dat", TQP_O_WRONLY | TQP_O_CREAT | TQP_O_EXCL, 0x180, false},
      {"read-only on a missing file", "missing.dat", TQP_O_RDONLY, 0x180, false},
      {"a folder", "folder", TQP_O_RDONLY, 0x180, false},
      {"access bits 3", "old.dat", 3, 0x180, false},
      {"exclusive on a new file", "new.dat", TQP_O_WRONLY | TQP_O_CREAT | TQP_O_EXCL, 0x180, true},
      {"created without write permission", "frozen.dat", TQP_O_WRONLY | TQP_O_CREAT, TQP_S_IREAD, true},
  };
  for (const Case& c : cases) {
    const int handle = Open(c.path, c.flags, c.mode);
    EXPECT_EQ(handle >= 0, c.opens) << c.what;
    if (handle >= 0) {
      EXPECT_EQ(Call(TQPclose, handle), 0);
    }
  }
  EXPECT_EQ(Attributes("frozen.dat"), TQP_ATTR_ARCHIVE | TQP_ATTR_READONLY);

  int handle = Open("old.dat", TQP_O_WRONLY | TQP_O_APPEND);
  EXPECT_EQ(Write(handle, "AB"), 2);
  EXPECT_EQ(Call(TQPclose, handle), 0);
  handle = Open("old.dat", TQP_O_RDONLY);
  EXPECT_EQ(Read(handle, 100), "0123456789AB");
  EXPECT_EQ(Call(TQPclose, handle), 0);
  handle = Open("old.dat", TQP_O_RDWR | TQP_O_TRUNC);
  EXPECT_EQ(Read(handle, 100), "");
  EXPECT_EQ(Call(TQPclose, handle), 0);
}

TEST_P(FileOpsTest, NamesFoldersAttributesAndDates) {
  EXPECT_EQ(PathCall(TQPmdir, "d"), 0);
  EXPECT_EQ(PathCall(TQPmdir, "d"), -1);
  EXPECT_EQ(Attributes("d"), TQP_ATTR_DIRECTORY);
  std::ofstream(Served("a.dat")) << "data";
  int result = -99;
  EXPECT_EQ(TQPrename(node(), nullptr, "a.dat", "d/b.dat", &result), TQP_OK);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(fs::exists(Served("d/b.dat")));

  EXPECT_EQ(PathCall(TQPcdir, "d"), 0);
  char directory[255] = "untouched";
  EXPECT_EQ(TQPgdir(node(), nullptr, 0, directory, &result), TQP_OK);
  EXPECT_EQ(result, 0);
  const std::string expected = local() ? fs::canonical(Served("d")).string().substr(1) : "d";
  EXPECT_EQ(std::string(directory), expected);
  EXPECT_EQ(Attributes("b.dat"), TQP_ATTR_ARCHIVE) << "relative to the new current folder";
  EXPECT_EQ(PathCall(TQPremove, "b.dat"), 0);
  EXPECT_EQ(PathCall(TQPremove, "b.dat"), -1);
  EXPECT_EQ(PathCall(TQPcdir, local() ? served_->folder().c_str() : "/"), 0);
  EXPECT_EQ(PathCall(TQPrdir, "d"), 0);
  EXPECT_EQ(PathCall(TQPrdir, "d"), -1);

  std::ofstream(Served("f.dat")) << "12345";
  std::ofstream(Served(".hidden")) << "h";
  EXPECT_EQ(Attributes(".hidden"), TQP_ATTR_ARCHIVE | TQP_ATTR_HIDDEN);
  EXPECT_EQ(Attributes("missing"), -1);
  EXPECT_EQ(TQPsetattrib(node(), nullptr, "f.dat", TQP_ATTR_ARCHIVE | TQP_ATTR_READONLY, &result), TQP_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Attributes("f.dat"), TQP_ATTR_ARCHIVE | TQP_ATTR_READONLY);
  EXPECT_EQ(TQPsetattrib(node(), nullptr, "f.dat", TQP_ATTR_ARCHIVE, &result), TQP_OK);
  EXPECT_EQ(Attributes("f.dat"), TQP_ATTR_ARCHIVE);

  EXPECT_EQ(TQPsetdate(node(), nullptr, "f.dat", 2021, 3, 4, 5, 6, 7, &result), TQP_OK);
  EXPECT_EQ(result, 0);
  uint16_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
  EXPECT_EQ(TQPgetdate(node(), nullptr, "f.dat", &year, &month, &day, &hour, &minute, &second, &result), TQP_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ((std::vector<int>{year, month, day, hour, minute, second}), (std::vector<int>{2021, 3, 4, 5, 6, 7}));
  EXPECT_EQ(TQPsetdate(node(), nullptr, "f.dat", 2021, 13, 4, 5, 6, 7, &result), TQP_OK);
  EXPECT_EQ(result, -1) << "month 13";
  year = 1;
  EXPECT_EQ(TQPgetdate(node(), nullptr, "missing", &year, &month, &day, &hour, &minute, &second, &result), TQP_OK);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(year, 1) << "no fields on failure";
}

TEST_P(FileOpsTest, ClockAndDrives) {
  uint16_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int result = -99;
  EXPECT_EQ(TQPgetosdate(node(), nullptr, &year, &month, &day, &hour, &minute, &second, &result), TQP_OK);
  EXPECT_EQ(result, 0);
  EXPECT_GE(year, 2024);
  EXPECT_TRUE(month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24);

  uint8_t drive = 0;
  EXPECT_EQ(TQPgetdisk(node(), nullptr, &drive, &result), TQP_OK);
  EXPECT_EQ(drive, 3);
  for (const auto& [asked, expected] : std::vector<std::pair<uint8_t, int>>{{3, 0}, {1, -1}, {0, -1}}) {
    EXPECT_EQ(TQPsetdisk(node(), nullptr, asked, &result), TQP_OK);
    EXPECT_EQ(result, expected) << "drive " << int(asked);
  }
  uint32_t bytes = 0, sectors = 0, total = 0, free = 0;
  EXPECT_EQ(TQPdrive(node(), nullptr, 0, &bytes, &sectors, &total, &free, &result), TQP_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(bytes, 512u);
  EXPECT_GT(sectors, 0u);
  EXPECT_GE(total, free);
  EXPECT_GT(total, 0u);
  EXPECT_EQ(TQPdrive(node(), nullptr, 1, &bytes, &sectors, &total, &free, &result), TQP_OK);
  EXPECT_EQ(result, -1) << "there is no drive A";
  char directory[255];
  EXPECT_EQ(TQPgdir(node(), nullptr, 2, directory, &result), TQP_OK);
  EXPECT_EQ(result, -1);
}

TEST_P(FileOpsTest, SearchesTakeEntriesByTheirFlags) {
  std::ofstream(Served("plain.txt")) << "12345";
  std::ofstream(Served("ro.txt")) << "r";
  fs::permissions(Served("ro.txt"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  std::ofstream(Served(".hidden")) << "h";
  fs::create_directory(Served("folder"));
  fs::create_directory(Served(".hdir"));
  using Names = std::set<std::string>;
  struct Case {
    int flags;
    Names names;
  };
  const Case cases[] = {
      {TQP_FIND_FILES, {"plain.txt", "ro.txt", ".hidden"}},
      {TQP_ATTR_DIRECTORY, {"folder", ".hdir"}},
      {TQP_FIND_FILES | TQP_ATTR_DIRECTORY, {"plain.txt", "ro.txt", ".hidden", "folder", ".hdir"}},
      {0, {}},
      {TQP_FIND_FILES | TQP_ATTR_READONLY, {"ro.txt"}},
      {TQP_FIND_FILES | TQP_ATTR_HIDDEN, {".hidden"}},
      {TQP_FIND_FILES | TQP_ATTR_ARCHIVE, {"plain.txt", "ro.txt", ".hidden"}},
      {TQP_ATTR_DIRECTORY | TQP_ATTR_HIDDEN, {"folder", ".hdir"}},
      {TQP_ATTR_DIRECTORY | TQP_ATTR_READONLY, {"folder"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Find("*", c.flags), c.names) << "flags 0x" << std::hex << c.flags;
  EXPECT_EQ(Find("*.TXT", TQP_FIND_FILES), (Names{"plain.txt", "ro.txt"})) << "without regard to case";
  EXPECT_EQ(Find("?o.*", TQP_FIND_FILES), (Names{"ro.txt"}));
  EXPECT_EQ(Find("nothing*", TQP_FIND_FILES), Names{});
  EXPECT_EQ(Find("folder/*", TQP_FIND_FILES), Names{});

  std::ofstream(Served("folder/a-very-long-name.txt")) << "0123456789";
  int handle = 0;
  int16_t result = -99;
  TQPFindInfo info{};
  EXPECT_EQ(TQPfirst(node(), nullptr, "folder/*.txt", TQP_FIND_FILES, &handle, &info, &result), TQP_OK);
  ASSERT_EQ(result, 0);
  EXPECT_STREQ(info.longName, "a-very-long-name.txt");
  EXPECT_STREQ(info.shortName, "a-very-long-");
  // Packed fields are copied (unary +) before gtest takes a reference to them.
  EXPECT_EQ(+info.size, 10u);
  EXPECT_EQ(+info.attributes, static_cast<uint32_t>(TQP_ATTR_ARCHIVE));
  EXPECT_NEAR(+info.lastWriteTime, static_cast<double>(std::time(nullptr)), 60);
  EXPECT_EQ(TQPclosefind(node(), nullptr, handle, &result), TQP_OK);
}

TEST_P(FileOpsTest, TwoSearchesOpenAtOnce) {
  for (const char* name : {"a1", "a2", "a3", "b1", "b2", "b3"}) std::ofstream(Served(name)) << name;
  int first = 0, second = 0;
  int16_t result = -99;
  TQPFindInfo info{};
  std::set<std::string> fromFirst, fromSecond;
  ASSERT_EQ(TQPfirst(node(), nullptr, "a*", TQP_FIND_FILES, &first, &info, &result), TQP_OK);
  ASSERT_EQ(result, 0);
  fromFirst.insert(info.longName);
  ASSERT_EQ(TQPfirst(node(), nullptr, "b*", TQP_FIND_FILES, &second, &info, &result), TQP_OK);
  ASSERT_EQ(result, 0);
  fromSecond.insert(info.longName);
  EXPECT_NE(first, second);
  for (int turn = 0; turn < 2; ++turn) {
    EXPECT_EQ(TQPnext(node(), nullptr, first, &info, &result), TQP_OK);
    fromFirst.insert(info.longName);
    EXPECT_EQ(TQPnext(node(), nullptr, second, &info, &result), TQP_OK);
    fromSecond.insert(info.longName);
  }
  EXPECT_EQ(fromFirst, (std::set<std::string>{"a1", "a2", "a3"}));
  EXPECT_EQ(fromSecond, (std::set<std::string>{"b1", "b2", "b3"}));

  EXPECT_EQ(TQPclosefind(node(), nullptr, first, &result), TQP_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(TQPnext(node(), nullptr, first, &info, &result), TQP_OK);
  EXPECT_EQ(result, -1) << "closed";
  EXPECT_EQ(TQPnext(node(), nullptr, second, &info, &result), TQP_OK);
  EXPECT_EQ(result, 1) << "the other search goes on to its end";
  EXPECT_EQ(TQPclosefind(node(), nullptr, 987654, &result), TQP_OK);
  EXPECT_EQ(result, -1) << "an unknown find handle";
  EXPECT_EQ(TQPclosefind(node(), nullptr, second, &result), TQP_OK);
}

INSTANTIATE_TEST_SUITE_P(Nodes, FileOpsTest, ::testing::Values(Where::kLocal, Where::kTcp, Where::kSerial),
                         WhereName);

}  // namespace
}  // namespace trk::tqpfs::testing
