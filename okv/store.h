// One call's structured view of an OKV file: its header, its key blocks and a
// cache of the nodes the call visits.
//
// Nothing is kept between calls; within a call every node is read at most
// once (level byte, links and body in one read when they fit), enciphered
// bodies are deciphered at most once, and changes are made to the cached
// copies and written out together by Flush, so that a call always sees its
// own changes and a journaled call costs one journal write.
//
// Files are untrusted: a node outside the node area, overrunning the file,
// with a level of 0 or above maxLevel, or whose two level bytes disagree
// gives 11, and every walk is bounded by walkLimit().
//
// REQUIRES: the engine's global lock is held; one Store at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "okv/call_file.h"
#include "okv/cipher.h"
#include "okv/format.h"
#include "okv/keys.h"

namespace okv {

struct Node {
  uint32_t offset = 0;
  uint8_t level = 0;
  bool free = false;
  bool whole = false;       // write all of the node
  bool linksDirty = false;  // write the level byte and the links
  bool bodyDirty = false;
  bool recordReady = false;
  std::vector<uint32_t> links;  // [(key * 2 + direction) * level + l]
  std::vector<uint8_t> body;    // stored body, S bytes
  std::vector<uint8_t> plain;   // deciphered body of an encrypted file
  std::vector<uint8_t> plainBlocks;  // per 16-byte block: 1 once deciphered in `plain` (before recordReady)
};

class Store {
 public:
  Store(CallFile& file, const uint8_t* recordKey32);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Reads the 128-byte header: 19 for an empty file, 5 for a shorter one.
  uint8_t LoadHeader();
  // Checks the layout of a keyed file and reads its key blocks (11 when bad).
  uint8_t LoadKeys();

  Header& header() { return header_; }
  uint16_t keyCount() const { return header_.keyCount(); }
  uint8_t maxLevel() const { return header_.maxLevel(); }
  uint16_t recordSize() const { return header_.recordSize(); }
  uint32_t storedSize() const { return StoredSize(header_.recordSize(), header_.encrypted()); }
  uint32_t keyBlocksEnd() const { return KeyBlocksEnd(keyCount(), maxLevel()); }
  uint64_t fileSize() const { return file_.size(); }
  const KeyDef& key(unsigned k) const;
  // More steps than this along one list means the list runs in a cycle.
  uint32_t walkLimit() const { return walkLimit_; }

  // Link arrays of key k in one direction; owner 0 names the key's list heads
  // (M entries), any other owner a cached node (level entries).
  std::span<const uint32_t> Links(uint32_t owner, unsigned k, Direction d);
  std::span<uint32_t> MutableLinks(uint32_t owner, unsigned k, Direction d);

  uint8_t FetchNode(uint32_t offset, Node** node);
  // A node reached through a link at `level`: it must be live and take part in that level.
  uint8_t FetchLinked(uint32_t offset, unsigned level, Node** node);
  // The record held by a node, deciphered when the file is encrypted (38 on a wrong key).
  uint8_t Record(Node& node, std::span<const uint8_t>* record);
  // A node's field of a key. In an encrypted file only the blocks that hold the
  // field and the length word are deciphered: a search compares one field of
  // every node it visits and delivers one record at most.
  uint8_t KeyFieldOf(Node& node, const KeyDef& key, std::span<const uint8_t>* field);

  // A new node of the given level at the end of the file (21 when the file
  // would outgrow 32-bit offsets).
  uint8_t AppendNode(uint8_t level, Node** node);
  // Turns a free node live again: links cleared, written whole.
  void ReviveNode(Node& node);
  void SetRecord(Node& node, const uint8_t* record);
  void MarkHeaderDirty() { headerDirty_ = true; }

  // The single record of a keyless file, whose body lies right behind the header.
  uint8_t ReadSoleRecord(uint8_t* record);
  uint8_t WriteSoleRecord(const uint8_t* record);

  // Writes every change through the call's file.
  uint8_t Flush();

 private:
  struct Scratch;
  Node* NewCachedNode(uint32_t offset);
  Node* Cached(uint32_t offset) const;
  uint8_t ReadNode(uint32_t offset, Node* node);
  bool WindowHolds(uint64_t offset, uint64_t count) const;
  // Reads up to count bytes at offset into the window (fewer at the end of the file).
  uint8_t FillWindow(uint64_t offset, size_t count);
  const Rc6& Cipher();
  void DecipherBlock(Node& node, size_t block);

  CallFile& file_;
  const uint8_t* recordKey_;
  Scratch& scratch_;
  Header header_;
  bool headerDirty_ = false;
  uint32_t walkLimit_ = 0;
  uint64_t appendAt_ = 0;
  std::optional<Rc6> cipher_;
};

}  // namespace okv
