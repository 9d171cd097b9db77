// The library's process-wide state: the machine-wide mutex "TQTQPF" held by
// every local operation and by every change of the library's lists, the files
// and searches opened locally, and the list of database files opened on remote
// nodes (whose record sizes the piecewise transfers need).
#pragma once

#include <cstdint>
#include <list>
#include <optional>

#include "platform/platform.h"
#include "tqp/tqp.h"
#include "tqpfs/local_files.h"
#include "tqpfs/local_search.h"

namespace trk::tqpfs {

platform::NamedMutex& LibraryMutex();

// REQUIRES: LibraryMutex() held.
FileTable& LocalFiles();
SearchList& LocalSearches();

// A database file opened on a remote node.
struct RemoteFile {
  uint16_t recordSize = 0;
  uint16_t handle = 0;  // the remote engine's
  uint16_t node = 0;
  TQPNodeAddress address{};  // zeros when the opener gave none
};

// The remote files in a list, newest first. A file is found by node and
// handle and, when the caller gives an address of a kind other than 0, by that
// address too: the entry must then be an IPv4 address (kind 4) equal to it.
// Each call takes LibraryMutex() itself.
class RemoteFileList {
 public:
  void Add(const RemoteFile& file);
  std::optional<RemoteFile> Find(int node, const TQPNodeAddress* address, uint16_t handle) const;
  void Remove(int node, const TQPNodeAddress* address, uint16_t handle);

 private:
  std::list<RemoteFile>::const_iterator Lookup(int node, const TQPNodeAddress* address, uint16_t handle) const;
  std::list<RemoteFile> files_;
};

RemoteFileList& RemoteFiles();

}  // namespace trk::tqpfs
