// The library's process-wide state; see library.h.
#include "tqpfs/library.h"

#include <algorithm>
#include <cstring>

namespace trk::tqpfs {

namespace {

constexpr uint32_t kIPv4 = 4;

bool AddressMatches(const RemoteFile& file, const TQPNodeAddress* address) {
  if (address == nullptr || address->kind == 0) return true;
  return address->kind == kIPv4 && file.address.kind == kIPv4 &&
         std::memcmp(file.address.address, address->address, 4) == 0;
}

}  // namespace

platform::NamedMutex& LibraryMutex() {
  static platform::NamedMutex& mutex = platform::NamedMutex::ForName("TQTQPF");
  return mutex;
}

FileTable& LocalFiles() {
  static FileTable files;
  return files;
}

SearchList& LocalSearches() {
  static SearchList searches;
  return searches;
}

RemoteFileList& RemoteFiles() {
  static RemoteFileList list;
  return list;
}

std::list<RemoteFile>::const_iterator RemoteFileList::Lookup(int node, const TQPNodeAddress* address,
                                                             uint16_t handle) const {
  return std::find_if(files_.begin(), files_.end(), [&](const RemoteFile& file) {
    return file.node == node && file.handle == handle && AddressMatches(file, address);
  });
}

void RemoteFileList::Add(const RemoteFile& file) {
  platform::NamedMutexLock lock(LibraryMutex());
  files_.push_front(file);
}

std::optional<RemoteFile> RemoteFileList::Find(int node, const TQPNodeAddress* address, uint16_t handle) const {
  platform::NamedMutexLock lock(LibraryMutex());
  const auto found = Lookup(node, address, handle);
  if (found == files_.end()) return std::nullopt;
  return *found;
}

void RemoteFileList::Remove(int node, const TQPNodeAddress* address, uint16_t handle) {
  platform::NamedMutexLock lock(LibraryMutex());
  const auto found = Lookup(node, address, handle);
  if (found != files_.end()) files_.erase(found);
}

}  // namespace trk::tqpfs
