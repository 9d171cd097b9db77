// The engine's file access layer: at most two disk files open at once (a data
// file and its journal), each primitive returning 0 or an engine result code.
//
// Codes: open 2 (no free slot, file exists with kExclusive, or refused) or 9
// (missing without kCreate); close 7; size 3; read 5 (failure or short read)
// or 19 (no byte at all); write, set length and flush 6; remove 8.
// Every access names its offset (pread/pwrite), so there is no file position.
//
// Fault injection for white-box tests: FailMutationAt(k) makes the k-th write,
// set-length or flush from now on fail with 6 (folder syncs count as flushes).
// Not thread-safe; like every engine state it is used under the global lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace okv {

enum OpenFlags : uint32_t {
  kOpenReadWrite = 0x0002,
  kOpenCreate = 0x0100,
  kOpenExclusive = 0x0400,
  kOpenBinary = 0x8000,
};

class DiskFile {
 public:
  DiskFile() = default;
  ~DiskFile();
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;

  uint8_t Open(const std::string& name, uint32_t flags);
  uint8_t Close();
  bool isOpen() const { return fd_ >= 0; }

  uint8_t Size(uint64_t* size) const;
  uint8_t ReadAt(uint64_t offset, void* buffer, size_t count) const;
  // Reads up to count bytes; stores how many came (0 at the end of the file).
  uint8_t ReadSomeAt(uint64_t offset, void* buffer, size_t count, size_t* got) const;
  uint8_t WriteAt(uint64_t offset, const void* buffer, size_t count);
  uint8_t SetLength(uint64_t length);
  uint8_t Flush();

 private:
  int fd_ = -1;
};

bool PathExists(const std::string& name);
uint8_t RemoveFile(const std::string& name);
// Forces the folder entry of a file to the disk (6 on failure).
uint8_t SyncFolderOf(const std::string& name);

namespace faults {
void FailMutationAt(int k);  // 0 switches injection off; also resets the count
int MutationCount();         // writes, set-lengths and flushes since the last FailMutationAt
// Commit writes the complete journal and then returns success without
// applying it, as if the process had died at that moment.
void StopBeforeApply(bool on);
bool StopBeforeApplyRequested();
}  // namespace faults

}  // namespace okv
