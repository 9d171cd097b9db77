// Node lookups: by node number with an optional address filter, or by socket
// for connections that have not said who they are yet.
#include "tqp/node_table.h"

#include <unistd.h>

#include <cstring>

#include "tqp/log.h"

namespace trk::tqp {
namespace {

void CloseEntrySocket(TQPNodeEntry& entry) {
  if (entry.socket != kNoSocket) ::close(entry.socket);
  entry.socket = kNoSocket;
}

}  // namespace

bool AddressMatches(const TQPNodeAddress* address, const TQPNodeAddress& entryAddress) {
  if (address == nullptr || address->kind == kAddressKindNone) return true;
  return address->kind == entryAddress.kind && std::memcmp(address->address, entryAddress.address, 4) == 0;
}

std::optional<size_t> NodeList::Find(const TQPNodeAddress* address, uint8_t node, int socket) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    const TQPNodeEntry& entry = entries_[i];
    if (node != 0 ? entry.node == node && AddressMatches(address, entry.address)
                  : socket != kNoSocket && entry.socket == socket) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<size_t> NodeList::FindOther(const TQPNodeAddress* address, uint8_t node, size_t skip) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (i != skip && entries_[i].node == node && AddressMatches(address, entries_[i].address)) return i;
  }
  return std::nullopt;
}

void NodeList::Erase(size_t position) {
  CloseEntrySocket(entries_[position]);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
}

void NodeList::Clear() {
  for (TQPNodeEntry& entry : entries_) CloseEntrySocket(entry);
  entries_.clear();
}

void NodeTable::NoteSerialSource(uint8_t source) {
  if (source == 0) return;
  Locked([&](NodeList& nodes) {
    if (nodes.Find(nullptr, source)) return;
    TQPNodeEntry entry;
    entry.node = source;
    nodes.Add(std::move(entry));
    Log(message::kNewSerialConnection, source);
  });
}

void NodeTable::EraseBySocket(int socket, const char* eraseMessage) {
  Locked([&](NodeList& nodes) {
    if (auto position = nodes.Find(nullptr, 0, socket)) {
      nodes.Erase(*position);
      Log(eraseMessage, static_cast<unsigned>(socket));
    }
  });
}

}  // namespace trk::tqp
