// File access layer over POSIX descriptors; see file_access.h.
#include "okv/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "okv/okv.h"

namespace okv {

namespace {

constexpr int kSlotCount = 2;
int slotsInUse = 0;

int failAt = 0;
int mutations = 0;
bool stopBeforeApply = false;

// Counts one mutating primitive and tells whether it must fail by injection.
bool InjectedFailure() {
  ++mutations;
  return failAt != 0 && mutations == failAt;
}

}  // namespace

namespace faults {
void FailMutationAt(int k) {
  failAt = k;
  mutations = 0;
}
int MutationCount() { return mutations; }
void StopBeforeApply(bool on) { stopBeforeApply = on; }
bool StopBeforeApplyRequested() { return stopBeforeApply; }
}  // namespace faults

DiskFile::~DiskFile() { Close(); }

uint8_t DiskFile::Open(const std::string& name, uint32_t flags) {
  if (isOpen() || slotsInUse >= kSlotCount) return OKV_OPEN_ERROR;
  int mode = (flags & kOpenReadWrite) ? O_RDWR : O_RDONLY;
  if (flags & kOpenCreate) {
    mode |= O_CREAT;
    if (flags & kOpenExclusive) mode |= O_EXCL;
  }
  int fd;
  do {
    fd = ::open(name.c_str(), mode | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return (errno == ENOENT && !(flags & kOpenCreate)) ? OKV_FILE_NOT_FOUND : OKV_OPEN_ERROR;
  fd_ = fd;
  ++slotsInUse;
  return OKV_SUCCESS;
}

uint8_t DiskFile::Close() {
  if (!isOpen()) return OKV_CLOSE_ERROR;
  const int rc = ::close(fd_);
  fd_ = -1;
  --slotsInUse;
  return (rc == 0 || errno == EINTR) ? OKV_SUCCESS : OKV_CLOSE_ERROR;
}

uint8_t DiskFile::Size(uint64_t* size) const {
  struct stat st {};
  if (!isOpen() || fstat(fd_, &st) != 0) return OKV_SEEK_ERROR;
  *size = static_cast<uint64_t>(st.st_size);
  return OKV_SUCCESS;
}

uint8_t DiskFile::ReadSomeAt(uint64_t offset, void* buffer, size_t count, size_t* got) const {
  *got = 0;
  if (!isOpen()) return OKV_READ_ERROR;
  auto* out = static_cast<uint8_t*>(buffer);
  while (*got < count) {
    const ssize_t n = ::pread(fd_, out + *got, count - *got, static_cast<off_t>(offset + *got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return OKV_READ_ERROR;
    if (n == 0) break;
    *got += static_cast<size_t>(n);
  }
  return OKV_SUCCESS;
}

uint8_t DiskFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
  size_t got = 0;
  if (const uint8_t rc = ReadSomeAt(offset, buffer, count, &got)) return rc;
  if (got == count) return OKV_SUCCESS;
  return got == 0 ? OKV_END_OF_FILE : OKV_READ_ERROR;
}

uint8_t DiskFile::WriteAt(uint64_t offset, const void* buffer, size_t count) {
  if (!isOpen() || InjectedFailure()) return OKV_WRITE_ERROR;
  const auto* in = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd_, in + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return OKV_WRITE_ERROR;
    done += static_cast<size_t>(n);
  }
  return OKV_SUCCESS;
}

uint8_t DiskFile::SetLength(uint64_t length) {
  if (!isOpen() || InjectedFailure()) return OKV_WRITE_ERROR;
  return ::ftruncate(fd_, static_cast<off_t>(length)) == 0 ? OKV_SUCCESS : OKV_WRITE_ERROR;
}

uint8_t DiskFile::Flush() {
  if (!isOpen() || InjectedFailure()) return OKV_WRITE_ERROR;
  return ::fsync(fd_) == 0 ? OKV_SUCCESS : OKV_WRITE_ERROR;
}

bool PathExists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0;
}

uint8_t RemoveFile(const std::string& name) { return ::unlink(name.c_str()) == 0 ? OKV_SUCCESS : OKV_UNLINK_ERROR; }

uint8_t SyncFolderOf(const std::string& name) {
  if (InjectedFailure()) return OKV_WRITE_ERROR;
  const auto slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : name.substr(0, slash));
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return OKV_WRITE_ERROR;
  const int rc = ::fsync(fd);
  ::close(fd);
  return rc == 0 ? OKV_SUCCESS : OKV_WRITE_ERROR;
}

}  // namespace okv
