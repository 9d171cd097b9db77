// The exported file operations: the pointer checks, then the operation on this
// machine (node 0xFFFF, under the mutex "TQTQPF") or on a remote node.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "tqpfs/exchange.h"
#include "tqpfs/library.h"
#include "tqpfs/remote_files.h"
#include "tqpfs/tqpfs.h"

namespace {

using namespace trk::tqpfs;

// Runs `action` under the library's mutex; a local operation always reports 0.
template <typename Action>
uint8_t Locally(Action action) {
  trk::platform::NamedMutexLock lock(LibraryMutex());
  action();
  return TQP_OK;
}

// The folder part of a search path (up to its last '/') and the name pattern.
std::pair<std::string, std::string_view> SplitSearchPath(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return {std::string(), path};
  return {std::string(path.substr(0, slash + 1)), path.substr(slash + 1)};
}

// The current folder without the leading '/' and without a trailing '/';
// empty at the root. -1 when it does not fit the caller's 255 bytes.
int CurrentDirectory(uint8_t drive, char* directory) {
  if (!IsOurDrive(drive)) return -1;
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return -1;
  std::string_view text(buffer);
  while (!text.empty() && text.front() == '/') text.remove_prefix(1);
  while (!text.empty() && text.back() == '/') text.remove_suffix(1);
  if (text.size() >= kFrameDataSize) return -1;
  std::memcpy(directory, text.data(), text.size());
  directory[text.size()] = 0;
  return 0;
}

void FillLocalFindInfo(const FoundEntry& entry, TQPFindInfo* info) {
  FillFindInfo(entry, std::string_view(entry.name).substr(0, kShortNameLimit), info);
}

int16_t SearchResultCode(SearchResult result) {
  switch (result) {
    case SearchResult::kFound: return 0;
    case SearchResult::kNothing: return 1;
    default: return -1;
  }
}

DateFields DateOf(uint16_t year, uint8_t month, uint8_t day, uint8_t hour, uint8_t minute, uint8_t second) {
  return DateFields{year, month, day, hour, minute, second};
}

// Marks a result that no answer has given (node 0, or a failed exchange).
constexpr int kNoResult = INT_MIN;

// Copies a date's result and, when it is 0, its fields into the caller's out-arguments.
void DeliverDate(int value, const DateFields& date, uint16_t* year, uint8_t* month, uint8_t* day, uint8_t* hour,
                 uint8_t* minute, uint8_t* second, int* result) {
  if (value == kNoResult) return;
  trk::platform::NamedMutexLock lock(LibraryMutex());
  *result = value;
  if (value != 0) return;
  *year = date.year;
  *month = date.month;
  *day = date.day;
  *hour = date.hour;
  *minute = date.minute;
  *second = date.second;
}

}  // namespace

extern "C" {

TQPFS_EXPORT const char* verTQTQPF = "v1.09";

uint8_t TQPopen(int node, TQPNodeAddress* address, const char* path, int flags, int mode, int* handle) {
  if (!path || !handle) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *handle = LocalFiles().Open(path, flags, mode); });
  return remote::Open(node, address, path, flags, mode, handle);
}

uint8_t TQPcreat(int node, TQPNodeAddress* address, const char* path, int mode, int* handle) {
  if (!path || !handle) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *handle = LocalFiles().Create(path, mode); });
  return remote::Create(node, address, path, mode, handle);
}

uint8_t TQPclose(int node, TQPNodeAddress* address, int handle, int* result) {
  if (!result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = LocalFiles().Close(handle); });
  return remote::HandleCall(Op::kClose, node, address, handle, result);
}

uint8_t TQPcommit(int node, TQPNodeAddress* address, int handle, int* result) {
  if (!result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = LocalFiles().Commit(handle); });
  return remote::HandleCall(Op::kCommit, node, address, handle, result);
}

uint8_t TQPeof(int node, TQPNodeAddress* address, int handle, int* result) {
  if (!result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = LocalFiles().AtEnd(handle); });
  return remote::HandleCall(Op::kEof, node, address, handle, result);
}

uint8_t TQPtell(int node, TQPNodeAddress* address, int handle, int* result) {
  if (!result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = LocalFiles().Tell(handle); });
  return remote::Tell(node, address, handle, result);
}

uint8_t TQPseteof(int node, TQPNodeAddress* address, int handle, int* result) {
  if (!result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = LocalFiles().SetEnd(handle); });
  return remote::HandleCall(Op::kSetEof, node, address, handle, result);
}

uint8_t TQPread(int node, TQPNodeAddress* address, int handle, void* buffer, unsigned count, int* countRead) {
  if (!buffer || !countRead) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) {
    return Locally([&] { *countRead = LocalFiles().Read(handle, static_cast<uint8_t*>(buffer), count); });
  }
  return remote::Read(node, address, handle, buffer, count, countRead);
}

uint8_t TQPwrite(int node, TQPNodeAddress* address, int handle, const void* buffer, unsigned count,
                 int* countWritten) {
  if (!buffer || !countWritten) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) {
    return Locally([&] {
      *countWritten = LocalFiles().Write(handle, {static_cast<const uint8_t*>(buffer), count});
    });
  }
  return remote::Write(node, address, handle, buffer, count, countWritten);
}

uint8_t TQPlseek(int node, TQPNodeAddress* address, int handle, int offset, int origin, int* position) {
  if (!position) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *position = LocalFiles().Seek(handle, offset, origin); });
  return remote::Seek(node, address, handle, offset, origin, position);
}

uint8_t TQPremove(int node, TQPNodeAddress* address, const char* path, int* result) {
  if (!path || !result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = RemoveFile(path); });
  return remote::PathCall(Op::kRemove, node, address, path, result);
}

uint8_t TQPrename(int node, TQPNodeAddress* address, const char* oldPath, const char* newPath, int* result) {
  if (!oldPath || !newPath || !result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = RenamePath(oldPath, newPath); });
  return remote::Rename(node, address, oldPath, newPath, result);
}

uint8_t TQPcdir(int node, TQPNodeAddress* address, const char* path, int* result) {
  if (!path || !result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = ::chdir(path) == 0 ? 0 : -1; });
  return remote::PathCall(Op::kChangeDir, node, address, path, result);
}

uint8_t TQPmdir(int node, TQPNodeAddress* address, const char* path, int* result) {
  if (!path || !result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = MakeDirectory(path); });
  return remote::PathCall(Op::kMakeDir, node, address, path, result);
}

uint8_t TQPrdir(int node, TQPNodeAddress* address, const char* path, int* result) {
  if (!path || !result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = RemoveDirectory(path); });
  return remote::PathCall(Op::kRemoveDir, node, address, path, result);
}

uint8_t TQPgdir(int node, TQPNodeAddress* address, uint8_t drive, char* directory, int* result) {
  if (!directory || !result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = CurrentDirectory(drive, directory); });
  return remote::GetDirectory(node, address, drive, directory, result);
}

uint8_t TQPgetattrib(int node, TQPNodeAddress* address, const char* path, int* attributes, int* result) {
  if (!path || !attributes || !result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) {
    return Locally([&] {
      uint32_t found = 0;
      *result = GetAttributes(path, &found);
      if (*result == 0) *attributes = static_cast<int>(found);
    });
  }
  return remote::GetAttributes(node, address, path, attributes, result);
}

uint8_t TQPsetattrib(int node, TQPNodeAddress* address, const char* path, int attributes, int* result) {
  if (!path || !result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = SetAttributes(path, static_cast<uint32_t>(attributes)); });
  return remote::SetAttributes(node, address, path, attributes, result);
}

uint8_t TQPgetdate(int node, TQPNodeAddress* address, const char* path, uint16_t* year, uint8_t* month,
                   uint8_t* day, uint8_t* hour, uint8_t* minute, uint8_t* second, int* result) {
  if (!path || !year || !month || !day || !hour || !minute || !second || !result) return TQP_MISSING_ARGUMENT;
  DateFields date;
  int value = kNoResult;
  const uint8_t transport = IsLocalNode(node) ? Locally([&] { value = GetFileDate(path, &date); })
                                              : remote::GetDate(node, address, path, &date, &value);
  DeliverDate(value, date, year, month, day, hour, minute, second, result);
  return transport;
}

uint8_t TQPsetdate(int node, TQPNodeAddress* address, const char* path, uint16_t year, uint8_t month, uint8_t day,
                   uint8_t hour, uint8_t minute, uint8_t second, int* result) {
  if (!path || !result) return TQP_MISSING_ARGUMENT;
  const DateFields date = DateOf(year, month, day, hour, minute, second);
  if (IsLocalNode(node)) return Locally([&] { *result = SetFileDate(path, date); });
  return remote::SetDate(node, address, path, date, result);
}

uint8_t TQPgetosdate(int node, TQPNodeAddress* address, uint16_t* year, uint8_t* month, uint8_t* day,
                     uint8_t* hour, uint8_t* minute, uint8_t* second, int* result) {
  if (!year || !month || !day || !hour || !minute || !second || !result) return TQP_MISSING_ARGUMENT;
  DateFields date;
  int value = kNoResult;
  const uint8_t transport = IsLocalNode(node) ? Locally([&] { value = GetClock(&date); })
                                              : remote::GetDate(node, address, nullptr, &date, &value);
  DeliverDate(value, date, year, month, day, hour, minute, second, result);
  return transport;
}

uint8_t TQPsetosdate(int node, TQPNodeAddress* address, uint16_t year, uint8_t month, uint8_t day, uint8_t hour,
                     uint8_t minute, uint8_t second, int* result) {
  if (!result) return TQP_MISSING_ARGUMENT;
  const DateFields date = DateOf(year, month, day, hour, minute, second);
  if (IsLocalNode(node)) return Locally([&] { *result = SetClock(date); });
  return remote::SetDate(node, address, nullptr, date, result);
}

uint8_t TQPgetdisk(int node, TQPNodeAddress* address, uint8_t* drive, int* result) {
  if (!drive || !result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) {
    return Locally([&] {
      *drive = kOnlyDrive;
      *result = 0;
    });
  }
  return remote::GetDisk(node, address, drive, result);
}

uint8_t TQPsetdisk(int node, TQPNodeAddress* address, uint8_t drive, int* result) {
  if (!result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = drive == kOnlyDrive ? 0 : -1; });
  return remote::SetDisk(node, address, drive, result);
}

uint8_t TQPdrive(int node, TQPNodeAddress* address, uint8_t drive, uint32_t* bytesPerSector,
                 uint32_t* sectorsPerCluster, uint32_t* totalClusters, uint32_t* freeClusters, int* result) {
  if (!bytesPerSector || !sectorsPerCluster || !totalClusters || !freeClusters || !result) {
    return TQP_MISSING_ARGUMENT;
  }
  if (IsLocalNode(node)) {
    return Locally([&] {
      DriveSpace space;
      *result = QueryDrive(drive, "/", &space);
      if (*result != 0) return;
      *bytesPerSector = space.bytesPerSector;
      *sectorsPerCluster = space.sectorsPerCluster;
      *totalClusters = space.totalClusters;
      *freeClusters = space.freeClusters;
    });
  }
  return remote::QueryDrive(node, address, drive, bytesPerSector, sectorsPerCluster, totalClusters, freeClusters,
                            result);
}

uint8_t TQPfirst(int node, TQPNodeAddress* address, const char* path, int flags, int* findHandle, TQPFindInfo* info,
                 int16_t* result) {
  if (!path || !findHandle || !info || !result) return TQP_MISSING_ARGUMENT;
  if (!IsLocalNode(node)) return remote::First(node, address, path, flags, findHandle, info, result);
  trk::platform::NamedMutexLock lock(LibraryMutex());
  const auto [folder, pattern] = SplitSearchPath(path);
  FoundEntry entry;
  const SearchResult found =
      LocalSearches().First(folder, pattern, static_cast<uint32_t>(flags), findHandle, &entry);
  if (found == SearchResult::kNoRoom) return TQP_NO_MEMORY;
  if (found == SearchResult::kFound) FillLocalFindInfo(entry, info);
  *result = SearchResultCode(found);
  return TQP_OK;
}

uint8_t TQPnext(int node, TQPNodeAddress* address, int findHandle, TQPFindInfo* info, int16_t* result) {
  if (!info || !result) return TQP_MISSING_ARGUMENT;
  if (!IsLocalNode(node)) return remote::Next(node, address, findHandle, info, result);
  return Locally([&] {
    FoundEntry entry;
    const SearchResult found = LocalSearches().Next(findHandle, &entry);
    if (found == SearchResult::kFound) FillLocalFindInfo(entry, info);
    *result = SearchResultCode(found);
  });
}

uint8_t TQPclosefind(int node, TQPNodeAddress* address, int findHandle, int16_t* result) {
  if (!result) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *result = LocalSearches().Close(findHandle) ? 0 : -1; });
  return remote::CloseFind(node, address, findHandle, result);
}

uint8_t TQPcloseallfinds(void) {
  return Locally([] { LocalSearches().CloseAll(); });
}

uint8_t TQPabort(int node, TQPNodeAddress* address) {
  if (IsLocalNode(node)) return TQP_OK;
  return remote::ByteCall(Op::kAbort, node, address, 0);
}

uint8_t TQPslave(int node, TQPNodeAddress* address, uint16_t value) {
  if (IsLocalNode(node)) return TQP_OK;
  return remote::ByteCall(Op::kSlave, node, address, value);
}

uint8_t TQPfsreq(int node, TQPNodeAddress* address) {
  if (IsLocalNode(node)) return TQP_OK;
  return remote::ByteCall(Op::kFsRequest, node, address, 0);
}

uint8_t TQPcompare(int node, TQPNodeAddress* address) {
  if (IsLocalNode(node)) return TQP_OK;
  return remote::Compare(node, address);
}

uint8_t TQPdownloadCount(int node, TQPNodeAddress* address, int* count) {
  if (!count) return TQP_MISSING_ARGUMENT;
  if (IsLocalNode(node)) return Locally([&] { *count = 0; });
  return remote::DownloadCount(node, address, count);
}

}  // extern "C"
