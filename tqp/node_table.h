// The table of partner nodes and its lock.
//
// NodeList is the ordered list itself (lookups take the first match) and is not
// synchronised; NodeTable owns one and hands it out only under its mutex, which
// is never held while sending, receiving or waiting. Erasing an entry closes
// its socket. A socket is a file descriptor; kNoSocket stands for none.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "tqp/tqp.h"

namespace trk::tqp {

inline constexpr int kNoSocket = -1;
inline constexpr uint32_t kAddressKindNone = 0;
inline constexpr uint32_t kAddressKindIPv4 = 4;

// Status values the link itself stores; applications may store others.
namespace node_status {
inline constexpr uint8_t kUnidentified = 0x01;  // known but not connected, or not yet identified
inline constexpr uint8_t kConnected = 0x02;
inline constexpr uint8_t kNotWatched = 0x04;  // left out of waits for any node
}  // namespace node_status

inline constexpr uint8_t kInitialControl = 0x02;  // reset bit: the sequence restarts

struct TQPNodeEntry {
  uint8_t node = 0;
  std::vector<uint8_t> savedResponse;
  uint8_t status = node_status::kConnected;
  uint8_t lastRequestControl = kInitialControl;
  uint8_t nextRequestControl = kInitialControl;
  int socket = kNoSocket;
  TQPNodeAddress address{};
  uint32_t tcpPort = 0;
};

// True when `address` is absent or of kind 0, or names the same kind and IPv4 address.
bool AddressMatches(const TQPNodeAddress* address, const TQPNodeAddress& entryAddress);

class NodeList {
 public:
  NodeList() = default;
  NodeList(const NodeList&) = delete;
  NodeList& operator=(const NodeList&) = delete;
  ~NodeList() { Clear(); }

  // node != 0: the first entry of that node passing the address filter;
  // node == 0: the first entry holding `socket` (kNoSocket matches nothing).
  std::optional<size_t> Find(const TQPNodeAddress* address, uint8_t node, int socket = kNoSocket) const;
  // As Find by node, skipping the entry at `skip`.
  std::optional<size_t> FindOther(const TQPNodeAddress* address, uint8_t node, size_t skip) const;
  void Add(TQPNodeEntry entry) { entries_.push_back(std::move(entry)); }
  void Erase(size_t position);
  void Clear();

  TQPNodeEntry& operator[](size_t position) { return entries_[position]; }
  const std::vector<TQPNodeEntry>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }

 private:
  std::vector<TQPNodeEntry> entries_;
};

class NodeTable {
 public:
  template <typename Body>
  decltype(auto) Locked(Body&& body) {
    std::lock_guard<std::mutex> hold(mutex_);
    return body(list_);
  }

  // A serial frame from `source` is arriving: a node never heard of gets an entry.
  void NoteSerialSource(uint8_t source);
  // Removes the entry holding `socket` (closing it) and logs `eraseMessage` when there was one.
  void EraseBySocket(int socket, const char* eraseMessage);

 private:
  std::mutex mutex_;
  NodeList list_;
};

}  // namespace trk::tqp
