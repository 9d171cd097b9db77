// File operations on this machine, in the C run-time's terms the registers use:
// open flags, permission modes and seek origins carry their values (see
// tqpfs.h), handles are small numbers of a FileTable (never the process's raw
// descriptors), and each operation gives the run-time's result: a value, or -1
// for failure. The library uses them for node 0xFFFF, the serving node for the
// paths it has confined to its folder.
//
// Linux stands in for the drives, attributes and clock of the registers: one
// drive, "C" (3), rooted at "/"; attributes 0x10 directory, 0x01 read-only when
// the owner may not write, 0x20 archive for regular files, 0x02 hidden for names
// starting with "."; dates of files are UTC fields, the clock reads local time
// and is set from UTC fields.
//
// Not thread-safe: the library runs these under its machine-wide mutex, the
// serving node on its one thread.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>

#include "tqpfs/request.h"

namespace trk::tqpfs {

inline constexpr uint8_t kOnlyDrive = 3;  // "C"
inline constexpr size_t kMaxOpenFiles = 256;

class FileTable {
 public:
  FileTable() = default;
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;
  ~FileTable();

  // A new handle, or -1. Directories are not opened.
  int Open(const std::string& path, int flags, int permission);
  int Create(const std::string& path, int permission);
  int Close(int handle);
  // Handles opened in text mode deliver CR LF as LF.
  int Read(int handle, uint8_t* buffer, size_t count);
  int Write(int handle, std::span<const uint8_t> data);
  int32_t Seek(int handle, int32_t offset, int origin);
  int32_t Tell(int handle);
  // 1 at the end of the file, 0 before it, -1 for a bad handle.
  int AtEnd(int handle);
  int Commit(int handle);
  // Cuts the file at the current position.
  int SetEnd(int handle);

 private:
  struct OpenFile {
    int fd = -1;
    bool text = false;
  };
  OpenFile* Find(int handle);
  int Add(int fd, bool text);

  std::map<int, OpenFile> files_;
};

// Attributes of a file-system entry named `name` (its last path component).
uint32_t AttributesOf(const struct stat& status, std::string_view name);

// Path operations: 0 or -1.
int RemoveFile(const std::string& path);
int RenamePath(const std::string& from, const std::string& to);
int MakeDirectory(const std::string& path);
int RemoveDirectory(const std::string& path);
int GetAttributes(const std::string& path, uint32_t* attributes);
int SetAttributes(const std::string& path, uint32_t attributes);
int GetFileDate(const std::string& path, DateFields* date);
int SetFileDate(const std::string& path, const DateFields& date);

// The clock: read as local time, set from UTC fields.
int GetClock(DateFields* date);
int SetClock(const DateFields& date);
bool IsValidDate(const DateFields& date);

struct DriveSpace {
  uint32_t bytesPerSector = 0;
  uint32_t sectorsPerCluster = 0;
  uint32_t totalClusters = 0;
  uint32_t freeClusters = 0;
};
// Drive 0 (current) or 3 names the only drive; its space is that of the file
// system holding `root`.
int QueryDrive(uint8_t drive, const std::string& root, DriveSpace* space);
bool IsOurDrive(uint8_t drive);

}  // namespace trk::tqpfs
