#include "platform/platform.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace trk::platform {
namespace {

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("trk-platform-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    setenv("TRK_LOCK_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TRK_LOCK_DIR");
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_;
};

// Runs `body` in a child process and returns its exit status.
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(PlatformTest, NamedMutexIsReentrantAndExcludesOtherProcesses) {
  NamedMutex& mutex = NamedMutex::ForName("ReentrantTest");
  EXPECT_EQ(&mutex, &NamedMutex::ForName("ReentrantTest"));
  mutex.Lock();
  mutex.Lock();  // the owner takes it again without waiting
  EXPECT_TRUE(std::filesystem::exists(dir_ / "ReentrantTest.lock"));
  EXPECT_EQ(InChild([] { return NamedMutex::ForName("ReentrantTest").TryLock() ? 1 : 0; }), 0);
  mutex.Unlock();
  // Still held once: other processes stay out.
  EXPECT_EQ(InChild([] { return NamedMutex::ForName("ReentrantTest").TryLock() ? 1 : 0; }), 0);
  mutex.Unlock();
  EXPECT_EQ(InChild([] { return NamedMutex::ForName("ReentrantTest").TryLock() ? 1 : 0; }), 1);
}

TEST_F(PlatformTest, NamedMutexIsReleasedWhenItsHolderDies) {
  // The child takes the mutex and exits without releasing it.
  EXPECT_EQ(InChild([] {
              NamedMutex::ForName("DeathTest").Lock();
              return 0;
            }),
            0);
  NamedMutex& mutex = NamedMutex::ForName("DeathTest");
  ASSERT_TRUE(mutex.TryLock());
  mutex.Unlock();
}

TEST_F(PlatformTest, ProgramFolderFollowsTrkFolder) {
  setenv("TRK_FOLDER", "/some/data", 1);
  EXPECT_EQ(ProgramFolder(), "/some/data/");
  setenv("TRK_FOLDER", "/some/data/", 1);
  EXPECT_EQ(ProgramFolder(), "/some/data/");
  unsetenv("TRK_FOLDER");
  const std::string own = ProgramFolder();
  ASSERT_FALSE(own.empty());
  EXPECT_EQ(own.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(own + "platform_tests"));
}

TEST_F(PlatformTest, TickCountAdvances) {
  const uint32_t before = TickCountMs();
  usleep(20000);
  const uint32_t elapsed = TickCountMs() - before;
  EXPECT_GE(elapsed, 15u);
  EXPECT_LT(elapsed, 5000u);
}

}  // namespace
}  // namespace trk::platform
