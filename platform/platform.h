// The small Linux layer that stands where the suite once called the operating
// system directly: machine-wide named mutexes, the program's own folder and the
// millisecond tick count.
//
// Named mutexes are advisory flock() locks on "<name>.lock" in the lock folder
// ($TRK_LOCK_DIR, else /tmp). They are reentrant within a process (a thread that
// holds one may take it again; the hold is counted), wait without limit, and are
// released by the kernel when the process dies, so a crash never leaves the
// machine locked. Within a process every name maps to one shared object.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace trk::platform {

class NamedMutex {
 public:
  // The process-wide mutex of this name; created on first use, never destroyed.
  static NamedMutex& ForName(std::string_view name);

  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Waits until this thread holds the mutex machine-wide.
  void Lock();
  // Takes the mutex only when no other thread or process holds it.
  bool TryLock();
  // REQUIRES: the calling thread holds the mutex.
  void Unlock();

  const std::string& name() const { return name_; }

 private:
  explicit NamedMutex(std::string name);
  bool AcquireFileLock(bool wait);
  void EnsureLockFileOpen();

  std::string name_;
  std::recursive_mutex threads_;  // orders the threads of this process
  int holdCount_ = 0;             // nested holds of the owning thread
  int fd_ = -1;                   // the lock file, opened in fork generation ownerGeneration_
  int ownerGeneration_ = 0;
};

// RAII hold of a named mutex.
class NamedMutexLock {
 public:
  explicit NamedMutexLock(NamedMutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~NamedMutexLock() { mutex_.Unlock(); }
  NamedMutexLock(const NamedMutexLock&) = delete;
  NamedMutexLock& operator=(const NamedMutexLock&) = delete;

 private:
  NamedMutex& mutex_;
};

// The folder that holds the lock files: $TRK_LOCK_DIR or /tmp, ending in '/'.
std::string LockFolder();

// The program's own folder, ending in '/': $TRK_FOLDER when set (a trailing '/'
// added when missing), else the folder of the running executable.
std::string ProgramFolder();

// Milliseconds of CLOCK_MONOTONIC, truncated to 32 bits like a system tick count.
uint32_t TickCountMs();

}  // namespace trk::platform
