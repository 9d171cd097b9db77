// Path confinement of the serving node: the lexical rules, and links that
// lead out of the served folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "tqpfs/confine.h"

namespace trk::tqpfs {
namespace {

namespace fs = std::filesystem;

TEST(NormalizeRequestPathTest, JoinsRelativePathsAndRefusesTheRest) {
  struct Case {
    const char* current;
    const char* path;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"", "DATA.DAT", "DATA.DAT"},
      {"sub", "a/b", "sub/a/b"},
      {"sub", "./a//b/", "sub/a/b"},
      {"", "DIR\\FILE.DAT", "DIR/FILE.DAT"},
      {"sub", "", "sub"},
      {"", ".", ""},
      {"", "a..b", "a..b"},
      {"", "..", std::nullopt},
      {"sub", "a/../b", std::nullopt},
      {"", "a\\..\\..\\etc", std::nullopt},
      {"sub", "/", ""},
      {"sub", "\\", ""},
      {"", "/etc/passwd", std::nullopt},
      {"", "\\WINDOWS", std::nullopt},
      {"", "C:DATA", std::nullopt},
      {"", "c:\\DATA", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormalizeRequestPath(c.current, c.path), c.expected) << c.current << " + " << c.path;
  }
}

class ServedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tqpfs-confine-XXXXXX";
    base_ = ::mkdtemp(pattern);
    fs::create_directories(base_ / "root/sub");
    fs::create_directories(base_ / "outside");
    std::ofstream(base_ / "outside/secret") << "x";
    std::ofstream(base_ / "root/sub/inner") << "y";
    fs::create_directory_symlink(base_ / "outside", base_ / "root/out");
    fs::create_symlink(base_ / "outside/secret", base_ / "root/secret-link");
    fs::create_symlink(base_ / "outside/nothing-yet", base_ / "root/dangling");
    fs::create_directory_symlink("sub", base_ / "root/sub-link");
    folder_ = ServedFolder::Open((base_ / "root").string());
    ASSERT_TRUE(folder_);
  }
  void TearDown() override { fs::remove_all(base_); }

  fs::path base_;
  std::optional<ServedFolder> folder_;
};

TEST_F(ServedFolderTest, ResolvesInsideAndRefusesLinksOut) {
  const std::string root = fs::canonical(base_ / "root").string();
  EXPECT_EQ(folder_->Resolve("sub/inner")->absolute, root + "/sub/inner");
  EXPECT_EQ(folder_->Resolve("sub/new-file")->relative, "sub/new-file") << "a name still to be made";
  EXPECT_EQ(folder_->Resolve("")->relative, "") << "the served folder itself";
  EXPECT_TRUE(folder_->Resolve("sub-link/inner")) << "a link that stays inside";

  for (const char* path : {"out", "out/secret", "out/new-file", "secret-link", "dangling", "../outside/secret",
                           "missing-folder/new-file"}) {
    EXPECT_FALSE(folder_->Resolve(path)) << path;
  }
}

TEST_F(ServedFolderTest, CurrentFolderMovesOnlyInside) {
  EXPECT_TRUE(folder_->ChangeDirectory("sub-link"));
  EXPECT_EQ(folder_->current(), "sub") << "kept as its real path";
  EXPECT_TRUE(folder_->Resolve("inner"));
  EXPECT_EQ(folder_->Resolve("inner")->relative, "sub/inner");

  EXPECT_FALSE(folder_->ChangeDirectory(".."));
  EXPECT_FALSE(folder_->ChangeDirectory("/out"));
  EXPECT_FALSE(folder_->ChangeDirectory("inner")) << "not a folder";
  EXPECT_EQ(folder_->current(), "sub");

  EXPECT_FALSE(folder_->ChangeDirectory("/sub"));
  EXPECT_TRUE(folder_->ChangeDirectory("\\"));
  EXPECT_EQ(folder_->current(), "") << "back at the top";
  EXPECT_FALSE(ServedFolder::Open((base_ / "root/sub/inner").string())) << "a file cannot be served";
}

}  // namespace
}  // namespace trk::tqpfs
