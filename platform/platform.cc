// Implementation of the Linux layer; see platform.h for the contracts.
#include "platform/platform.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>

namespace trk::platform {

namespace {

// Counts the forks this process went through, so that a named mutex notices
// cheaply, without asking the kernel for the process id, that it now lives in
// a child.
int g_forkGeneration = 0;

void NoteFork() { ++g_forkGeneration; }

int ForkGeneration() {
  static const bool registered = pthread_atfork(nullptr, nullptr, NoteFork) == 0;
  (void)registered;
  return g_forkGeneration;
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

NamedMutex& NamedMutex::ForName(std::string_view name) {
  static std::mutex registryGuard;
  // Deliberately never destroyed: engine calls may run from static destructors.
  static auto* registry = new std::map<std::string, std::unique_ptr<NamedMutex>, std::less<>>();
  std::lock_guard<std::mutex> guard(registryGuard);
  auto it = registry->find(name);
  if (it == registry->end()) {
    it = registry->emplace(std::string(name), std::unique_ptr<NamedMutex>(new NamedMutex(std::string(name)))).first;
  }
  return *it->second;
}

NamedMutex::NamedMutex(std::string name) : name_(std::move(name)) {}

void NamedMutex::EnsureLockFileOpen() {
  // A forked child shares its parent's open file description, and with it the
  // parent's flock: it must open the lock file anew to exclude its parent.
  const int generation = ForkGeneration();
  if (fd_ >= 0 && ownerGeneration_ == generation) return;
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
    holdCount_ = 0;
  }
  const std::string path = LockFolder() + name_ + ".lock";
  const mode_t oldMask = umask(0);
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  umask(oldMask);
  ownerGeneration_ = generation;
}

bool NamedMutex::AcquireFileLock(bool wait) {
  EnsureLockFileOpen();
  // Without a lock file (an unwritable lock folder) the mutex still orders the
  // threads of this process; other processes cannot be excluded.
  if (fd_ < 0) return true;
  for (;;) {
    if (flock(fd_, wait ? LOCK_EX : (LOCK_EX | LOCK_NB)) == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    return wait;  // an unexpected failure: fall back to ordering this process only

  }
}

void NamedMutex::Lock() {
  threads_.lock();
  if (holdCount_ == 0) AcquireFileLock(/*wait=*/true);
  ++holdCount_;
}

bool NamedMutex::TryLock() {
  if (!threads_.try_lock()) return false;
  if (holdCount_ == 0 && !AcquireFileLock(/*wait=*/false)) {
    threads_.unlock();
    return false;
  }
  ++holdCount_;
  return true;
}

void NamedMutex::Unlock() {
  if (--holdCount_ == 0 && fd_ >= 0) flock(fd_, LOCK_UN);
  threads_.unlock();
}

std::string LockFolder() {
  const char* folder = std::getenv("TRK_LOCK_DIR");
  return WithTrailingSlash(folder && *folder ? folder : "/tmp");
}

std::string ProgramFolder() {
  if (const char* folder = std::getenv("TRK_FOLDER"); folder && *folder) return WithTrailingSlash(folder);
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "./";
  std::string exe(path, static_cast<size_t>(n));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

uint32_t TickCountMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

}  // namespace trk::platform
