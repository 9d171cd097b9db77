// File operations on this machine in the C run-time's terms; see local_files.h.
#include "tqpfs/local_files.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>

namespace trk::tqpfs {

namespace {

// The C run-time's values, as they travel.
constexpr int kAccessMask = 0x0003;
constexpr int kWriteOnly = 0x0001;
constexpr int kReadWrite = 0x0002;
constexpr int kAppend = 0x0008;
constexpr int kCreate = 0x0100;
constexpr int kTruncate = 0x0200;
constexpr int kExclusive = 0x0400;
constexpr int kText = 0x4000;
constexpr int kPermissionWrite = 0x0080;

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;

constexpr int kFirstHandle = 3;  // after the standard streams, as the run-time counts

// A file created without write permission is read-only; every file is readable.
mode_t CreationMode(int permission) { return (permission & kPermissionWrite) ? 0666 : 0444; }

std::optional<int> SystemOpenFlags(int flags) {
  int system = O_CLOEXEC;
  switch (flags & kAccessMask) {
    case 0:
      system |= O_RDONLY;
      break;
    case kWriteOnly:
      system |= O_WRONLY;
      break;
    case kReadWrite:
      system |= O_RDWR;
      break;
    default:
      return std::nullopt;
  }
  if (flags & kAppend) system |= O_APPEND;
  if (flags & kCreate) system |= O_CREAT;
  if (flags & kTruncate) system |= O_TRUNC;
  if (flags & kExclusive) system |= O_EXCL;
  return system;
}

std::string_view LastComponent(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
}

DateFields FieldsOf(const std::tm& time) {
  DateFields date;
  date.year = static_cast<uint16_t>(time.tm_year + 1900);
  date.month = static_cast<uint8_t>(time.tm_mon + 1);
  date.day = static_cast<uint8_t>(time.tm_mday);
  date.hour = static_cast<uint8_t>(time.tm_hour);
  date.minute = static_cast<uint8_t>(time.tm_min);
  date.second = static_cast<uint8_t>(time.tm_sec);
  return date;
}

time_t UtcSeconds(const DateFields& date) {
  std::tm time{};
  time.tm_year = date.year - 1900;
  time.tm_mon = date.month - 1;
  time.tm_mday = date.day;
  time.tm_hour = date.hour;
  time.tm_min = date.minute;
  time.tm_sec = date.second;
  return timegm(&time);
}

uint32_t ClampToU32(unsigned long long value) {
  return static_cast<uint32_t>(std::min<unsigned long long>(value, UINT32_MAX));
}

// Opens an existing file for writing, as the dates are read and set.
int OpenForDate(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CLOEXEC); }

}  // namespace

FileTable::~FileTable() {
  for (const auto& [handle, file] : files_) ::close(file.fd);
}

FileTable::OpenFile* FileTable::Find(int handle) {
  const auto found = files_.find(handle);
  return found == files_.end() ? nullptr : &found->second;
}

int FileTable::Add(int fd, bool text) {
  int handle = kFirstHandle;
  for (const auto& [used, file] : files_) {
    if (used != handle) break;
    ++handle;
  }
  files_[handle] = OpenFile{fd, text};
  return handle;
}

int FileTable::Open(const std::string& path, int flags, int permission) {
  const std::optional<int> system = SystemOpenFlags(flags);
  if (!system || files_.size() >= kMaxOpenFiles) return -1;
  const int fd = ::open(path.c_str(), *system, CreationMode(permission));
  if (fd < 0) return -1;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    ::close(fd);
    return -1;
  }
  return Add(fd, (flags & kText) != 0);
}

int FileTable::Create(const std::string& path, int permission) {
  return Open(path, kWriteOnly | kCreate | kTruncate, permission);
}

int FileTable::Close(int handle) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return -1;
  const int result = ::close(file->fd) == 0 ? 0 : -1;
  files_.erase(handle);
  return result;
}

int FileTable::Read(int handle, uint8_t* buffer, size_t count) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return -1;
  count = std::min<size_t>(count, INT_MAX);
  const ssize_t got = ::read(file->fd, buffer, count);
  if (got < 0) return -1;
  if (!file->text) return static_cast<int>(got);
  // Text mode: drop the CR of every CR LF, looking one byte ahead after a final CR.
  size_t kept = 0;
  for (size_t i = 0; i < static_cast<size_t>(got); ++i) {
    if (buffer[i] == '\r') {
      if (i + 1 < static_cast<size_t>(got)) {
        if (buffer[i + 1] == '\n') continue;
      } else {
        uint8_t next = 0;
        if (::read(file->fd, &next, 1) == 1) {
          if (next == '\n') {
            buffer[kept++] = '\n';
            continue;
          }
          ::lseek(file->fd, -1, SEEK_CUR);
        }
      }
    }
    buffer[kept++] = buffer[i];
  }
  return static_cast<int>(kept);
}

int FileTable::Write(int handle, std::span<const uint8_t> data) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return -1;
  const ssize_t written = ::write(file->fd, data.data(), std::min<size_t>(data.size(), INT_MAX));
  return written < 0 ? -1 : static_cast<int>(written);
}

int32_t FileTable::Seek(int handle, int32_t offset, int origin) {
  OpenFile* file = Find(handle);
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (file == nullptr || origin < 0 || origin > 2) return -1;
  const off_t current = ::lseek(file->fd, 0, SEEK_CUR);
  const off_t position = ::lseek(file->fd, offset, kWhence[origin]);
  if (position < 0) return -1;
  if (position > INT32_MAX) {
    ::lseek(file->fd, current, SEEK_SET);
    return -1;
  }
  return static_cast<int32_t>(position);
}

int32_t FileTable::Tell(int handle) { return Seek(handle, 0, 1); }

int FileTable::AtEnd(int handle) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return -1;
  struct stat status {};
  const off_t position = ::lseek(file->fd, 0, SEEK_CUR);
  if (position < 0 || ::fstat(file->fd, &status) != 0) return -1;
  return position >= status.st_size ? 1 : 0;
}

int FileTable::Commit(int handle) {
  OpenFile* file = Find(handle);
  return file != nullptr && ::fsync(file->fd) == 0 ? 0 : -1;
}

int FileTable::SetEnd(int handle) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return -1;
  const off_t position = ::lseek(file->fd, 0, SEEK_CUR);
  return position >= 0 && ::ftruncate(file->fd, position) == 0 ? 0 : -1;
}

uint32_t AttributesOf(const struct stat& status, std::string_view name) {
  uint32_t attributes = 0;
  if (S_ISDIR(status.st_mode)) attributes |= kAttrDirectory;
  if (S_ISREG(status.st_mode)) attributes |= kAttrArchive;
  if ((status.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= kAttrHidden;
  return attributes;
}

int RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : -1; }

int RenamePath(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : -1;
}

int MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0 ? 0 : -1; }

int RemoveDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0 ? 0 : -1; }

int GetAttributes(const std::string& path, uint32_t* attributes) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return -1;
  *attributes = AttributesOf(status, LastComponent(path));
  return 0;
}

int SetAttributes(const std::string& path, uint32_t attributes) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return -1;
  const mode_t permissions = status.st_mode & 07777;
  const mode_t wanted =
      (attributes & kAttrReadOnly) ? (permissions & ~mode_t{S_IWUSR | S_IWGRP | S_IWOTH}) : (permissions | S_IWUSR);
  if (wanted == permissions) return 0;
  return ::chmod(path.c_str(), wanted) == 0 ? 0 : -1;
}

int GetFileDate(const std::string& path, DateFields* date) {
  const int fd = OpenForDate(path);
  if (fd < 0) return -1;
  struct stat status {};
  const bool read = ::fstat(fd, &status) == 0;
  const bool closed = ::close(fd) == 0;
  std::tm time{};
  if (!read || !closed || gmtime_r(&status.st_mtime, &time) == nullptr) return -1;
  *date = FieldsOf(time);
  return 0;
}

int SetFileDate(const std::string& path, const DateFields& date) {
  if (!IsValidDate(date)) return -1;
  const int fd = OpenForDate(path);
  if (fd < 0) return -1;
  const timespec times[2] = {{0, UTIME_OMIT}, {UtcSeconds(date), 0}};
  const bool set = ::futimens(fd, times) == 0;
  const bool closed = ::close(fd) == 0;
  return set && closed ? 0 : -1;
}

int GetClock(DateFields* date) {
  const time_t now = std::time(nullptr);
  std::tm time{};
  if (localtime_r(&now, &time) == nullptr) return -1;
  *date = FieldsOf(time);
  return 0;
}

int SetClock(const DateFields& date) {
  if (!IsValidDate(date)) return -1;
  const timespec when{UtcSeconds(date), 0};
  return ::clock_settime(CLOCK_REALTIME, &when) == 0 ? 0 : -1;
}

bool IsValidDate(const DateFields& date) {
  static constexpr uint8_t kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.year < 1601 || date.month < 1 || date.month > 12 || date.day < 1) return false;
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  const int days = kDaysInMonth[date.month - 1] + (date.month == 2 && leap ? 1 : 0);
  return date.day <= days && date.hour < 24 && date.minute < 60 && date.second < 60;
}

bool IsOurDrive(uint8_t drive) { return drive == 0 || drive == kOnlyDrive; }

int QueryDrive(uint8_t drive, const std::string& root, DriveSpace* space) {
  constexpr uint32_t kBytesPerSector = 512;
  struct statvfs info {};
  if (!IsOurDrive(drive) || ::statvfs(root.c_str(), &info) != 0) return -1;
  const unsigned long long fragment = info.f_frsize ? info.f_frsize : info.f_bsize;
  const uint32_t sectorsPerCluster = std::max<uint32_t>(1, ClampToU32(fragment / kBytesPerSector));
  const unsigned long long clusterBytes = static_cast<unsigned long long>(kBytesPerSector) * sectorsPerCluster;
  space->bytesPerSector = kBytesPerSector;
  space->sectorsPerCluster = sectorsPerCluster;
  space->totalClusters = ClampToU32(info.f_blocks * fragment / clusterBytes);
  space->freeClusters = ClampToU32(info.f_bavail * fragment / clusterBytes);
  return 0;
}

}  // namespace trk::tqpfs
