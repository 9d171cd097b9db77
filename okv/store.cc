// One call's view of an OKV file with its node cache; see store.h.
#include "okv/store.h"

#include <algorithm>
#include <cstring>

#include "okv/okv.h"

namespace okv {

namespace {

constexpr size_t kReadAhead = 4096;
constexpr unsigned kInitialIndexBits = 6;
constexpr unsigned kLargestKeptIndexBits = 12;

// Offsets of cached nodes to their nodes: open addressing, 0 marks an empty
// slot (offset 0 is the header, never a node).
class NodeIndex {
 public:
  void Reset() {
    if (bits_ == 0 || bits_ > kLargestKeptIndexBits) {
      Resize(kInitialIndexBits);
    } else {
      std::fill(offsets_.begin(), offsets_.end(), 0);
    }
    count_ = 0;
  }
  Node* Find(uint32_t offset) const {
    for (size_t i = Slot(offset);; i = (i + 1) & Mask()) {
      if (offsets_[i] == offset) return nodes_[i];
      if (offsets_[i] == 0) return nullptr;
    }
  }
  void Insert(uint32_t offset, Node* node) {
    if ((count_ + 1) * 2 > offsets_.size()) Grow();
    size_t i = Slot(offset);
    while (offsets_[i] != 0) i = (i + 1) & Mask();
    offsets_[i] = offset;
    nodes_[i] = node;
    ++count_;
  }

 private:
  size_t Mask() const { return offsets_.size() - 1; }
  size_t Slot(uint32_t offset) const { return (offset * 2654435761u) >> (32 - bits_); }
  void Resize(unsigned bits) {
    bits_ = bits;
    offsets_.assign(size_t{1} << bits, 0);
    nodes_.assign(size_t{1} << bits, nullptr);
  }
  void Grow() {
    std::vector<uint32_t> offsets = std::move(offsets_);
    std::vector<Node*> nodes = std::move(nodes_);
    Resize(bits_ + 1);
    count_ = 0;
    for (size_t i = 0; i < offsets.size(); ++i) {
      if (offsets[i] != 0) Insert(offsets[i], nodes[i]);
    }
  }

  unsigned bits_ = 0;
  size_t count_ = 0;
  std::vector<uint32_t> offsets_;
  std::vector<Node*> nodes_;
};

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[4];
  StoreU32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

}  // namespace

// Buffers reused from call to call, so that a call allocates nothing once the
// process has warmed up.
struct Store::Scratch {
  std::vector<std::unique_ptr<Node>> pool;
  size_t used = 0;
  NodeIndex index;
  std::vector<KeyDef> keys;
  std::vector<uint32_t> heads;      // [(key * 2 + direction) * M + l]
  std::vector<uint8_t> headsDirty;  // per key
  std::vector<uint8_t> io;  // a window on the file: its bytes from ioStart on
  uint64_t ioStart = 0;
  std::vector<uint8_t> out;
};

Store::Store(CallFile& file, const uint8_t* recordKey32)
    : file_(file), recordKey_(recordKey32), scratch_([]() -> Scratch& {
        static Scratch scratch;
        return scratch;
      }()) {
  scratch_.used = 0;
  scratch_.index.Reset();
  scratch_.heads.clear();
  scratch_.headsDirty.clear();
  scratch_.io.clear();
  scratch_.ioStart = 0;
}

Store::~Store() = default;

uint8_t Store::LoadHeader() {
  if (file_.size() == 0) return OKV_END_OF_FILE;
  if (file_.size() < kHeaderSize) return OKV_READ_ERROR;
  scratch_.io.resize(std::min<uint64_t>(file_.size(), kReadAhead));
  scratch_.ioStart = 0;
  if (const uint8_t rc = file_.Read(0, scratch_.io.data(), scratch_.io.size())) return rc;
  std::memcpy(header_.bytes(), scratch_.io.data(), kHeaderSize);
  return OKV_SUCCESS;
}

uint8_t Store::LoadKeys() {
  const unsigned k = keyCount(), m = maxLevel();
  if (k > kMaxKeys || m == 0 || m > kMaxLevels || header_.currentLevel() > m) return OKV_FILE_CORRUPTED;
  const uint32_t end = keyBlocksEnd();
  if (end > file_.size()) return OKV_FILE_CORRUPTED;
  if (!WindowHolds(0, end)) {
    if (const uint8_t rc = FillWindow(0, end)) return rc;
    if (scratch_.io.size() < end) return OKV_READ_ERROR;
  }
  const std::vector<uint8_t>& io = scratch_.io;
  scratch_.keys.resize(k);
  scratch_.heads.resize(size_t{k} * 2 * m);
  scratch_.headsDirty.assign(k, 0);
  for (unsigned i = 0; i < k; ++i) {
    const uint8_t* block = io.data() + KeyBlockOffset(i, m);
    KeyDef& key = scratch_.keys[i];
    key.offset = LoadU16(block);
    key.length = LoadU16(block + 2);
    key.type = block[4];
    if (!IsValidKeyDefinition(key.type, key.length) || uint32_t{key.offset} + key.length > recordSize()) {
      return OKV_FILE_CORRUPTED;
    }
    for (unsigned j = 0; j < 2 * m; ++j) {
      scratch_.heads[size_t{i} * 2 * m + j] = LoadU32(block + kKeyDescriptorSize + 4 * j);
    }
  }
  appendAt_ = file_.size();
  const uint64_t smallestNode = NodeSize(1, k, storedSize());
  walkLimit_ = static_cast<uint32_t>(std::min<uint64_t>((file_.size() - end) / smallestNode + 1, UINT32_MAX));
  return OKV_SUCCESS;
}

const KeyDef& Store::key(unsigned k) const { return scratch_.keys[k]; }

std::span<const uint32_t> Store::Links(uint32_t owner, unsigned k, Direction d) {
  const size_t array = size_t{k} * 2 + static_cast<size_t>(d);
  if (owner == 0) {
    const size_t m = maxLevel();
    return {scratch_.heads.data() + array * m, m};
  }
  const Node* node = Cached(owner);
  return {node->links.data() + array * node->level, node->level};
}

std::span<uint32_t> Store::MutableLinks(uint32_t owner, unsigned k, Direction d) {
  if (owner == 0) {
    scratch_.headsDirty[k] = 1;
  } else {
    Cached(owner)->linksDirty = true;
  }
  const std::span<const uint32_t> links = Links(owner, k, d);
  return {const_cast<uint32_t*>(links.data()), links.size()};
}

Node* Store::Cached(uint32_t offset) const { return scratch_.index.Find(offset); }

Node* Store::NewCachedNode(uint32_t offset) {
  if (scratch_.used == scratch_.pool.size()) scratch_.pool.push_back(std::make_unique<Node>());
  Node* node = scratch_.pool[scratch_.used++].get();
  node->offset = offset;
  node->free = node->whole = node->linksDirty = node->bodyDirty = node->recordReady = false;
  node->plainBlocks.clear();
  scratch_.index.Insert(offset, node);
  return node;
}

bool Store::WindowHolds(uint64_t offset, uint64_t count) const {
  return offset >= scratch_.ioStart && offset + count <= scratch_.ioStart + scratch_.io.size();
}

uint8_t Store::FillWindow(uint64_t offset, size_t count) {
  std::vector<uint8_t>& io = scratch_.io;
  io.resize(count);
  size_t got = 0;
  const uint8_t rc = file_.ReadSome(offset, io.data(), count, &got);
  io.resize(rc == OKV_SUCCESS ? got : 0);
  scratch_.ioStart = offset;
  return rc;
}

uint8_t Store::ReadNode(uint32_t offset, Node* node) {
  const unsigned k = keyCount(), m = maxLevel();
  const uint32_t s = storedSize();
  const uint64_t available = file_.size() - offset;
  // Nodes often lie close together (a walk in the order of addition, a small
  // file read with its header), so a node already in the window costs no read.
  if (!WindowHolds(offset, 1)) {
    const uint64_t ahead = std::max<uint64_t>(NodeSize(m, k, s), kReadAhead);
    if (const uint8_t rc = FillWindow(offset, static_cast<size_t>(std::min(available, ahead)))) return rc;
    if (scratch_.io.empty()) return OKV_FILE_CORRUPTED;
  }
  const uint8_t level = scratch_.io[offset - scratch_.ioStart] & kLevelMask;
  if (level == 0 || level > m) return OKV_FILE_CORRUPTED;
  const uint64_t size = NodeSize(level, k, s);
  if (size > available) return OKV_FILE_CORRUPTED;
  if (!WindowHolds(offset, size)) {
    if (const uint8_t rc = FillWindow(offset, static_cast<size_t>(size))) return rc;
    if (scratch_.io.size() < size) return OKV_READ_ERROR;
  }
  const uint8_t* bytes = scratch_.io.data() + (offset - scratch_.ioStart);
  if (bytes[NodeTrailerAt(level, k)] != level) return OKV_FILE_CORRUPTED;
  node->level = level;
  node->free = (bytes[0] & kFreeMark) != 0;
  node->links.resize(size_t{2} * level * k);
  for (size_t i = 0; i < node->links.size(); ++i) node->links[i] = LoadU32(&bytes[1 + 4 * i]);
  const uint8_t* body = &bytes[NodeBodyAt(level, k)];
  node->body.assign(body, body + s);
  return OKV_SUCCESS;
}

uint8_t Store::FetchNode(uint32_t offset, Node** node) {
  if ((*node = Cached(offset)) != nullptr) return OKV_SUCCESS;
  if (offset < keyBlocksEnd() || offset >= file_.size()) return OKV_FILE_CORRUPTED;
  Node* fresh = NewCachedNode(offset);
  const uint8_t rc = ReadNode(offset, fresh);
  if (rc != OKV_SUCCESS) return rc;
  *node = fresh;
  return OKV_SUCCESS;
}

uint8_t Store::FetchLinked(uint32_t offset, unsigned level, Node** node) {
  if (const uint8_t rc = FetchNode(offset, node)) return rc;
  return (*node)->free || (*node)->level <= level ? OKV_FILE_CORRUPTED : OKV_SUCCESS;
}

const Rc6& Store::Cipher() {
  if (!cipher_) cipher_.emplace(recordKey_);
  return *cipher_;
}

uint8_t Store::Record(Node& node, std::span<const uint8_t>* record) {
  if (!header_.encrypted()) {
    *record = std::span<const uint8_t>(node.body).first(recordSize());
    return OKV_SUCCESS;
  }
  if (!node.recordReady) {
    if (node.plainBlocks.empty()) {
      node.plain = node.body;
      if (const uint8_t rc = DecryptRecordBody(Cipher(), node.plain, recordSize())) return rc;
    } else {
      for (size_t block = 0; block < node.plainBlocks.size(); ++block) DecipherBlock(node, block);
      if (LoadU16(node.plain.data()) != recordSize()) return OKV_WRONG_KEY;
    }
    node.recordReady = true;
  }
  *record = std::span<const uint8_t>(node.plain).subspan(2, recordSize());
  return OKV_SUCCESS;
}

void Store::DecipherBlock(Node& node, size_t block) {
  if (node.plainBlocks[block]) return;
  Cipher().DecryptBlocks(std::span<uint8_t>(node.plain).subspan(block * kCipherBlockSize, kCipherBlockSize));
  node.plainBlocks[block] = 1;
}

uint8_t Store::KeyFieldOf(Node& node, const KeyDef& key, std::span<const uint8_t>* field) {
  if (!header_.encrypted() || node.recordReady) {
    std::span<const uint8_t> record;
    if (const uint8_t rc = Record(node, &record)) return rc;
    *field = KeyField(key, record);
    return OKV_SUCCESS;
  }
  if (node.plainBlocks.empty()) {
    node.plain = node.body;
    node.plainBlocks.assign(node.plain.size() / kCipherBlockSize, 0);
    DecipherBlock(node, 0);
    const uint16_t length = LoadU16(node.plain.data());
    if (length != recordSize() || !IsPlausibleRecordLength(length, storedSize())) return OKV_WRONG_KEY;
  }
  // The record starts behind the two-byte length word.
  const size_t first = (2 + size_t{key.offset}) / kCipherBlockSize;
  const size_t last = (2 + size_t{key.offset} + key.length - 1) / kCipherBlockSize;
  for (size_t block = first; block <= last; ++block) DecipherBlock(node, block);
  *field = KeyField(key, std::span<const uint8_t>(node.plain).subspan(2, recordSize()));
  return OKV_SUCCESS;
}

uint8_t Store::AppendNode(uint8_t level, Node** node) {
  const uint64_t size = NodeSize(level, keyCount(), storedSize());
  if (appendAt_ + size > UINT32_MAX) return OKV_FILE_FULL;
  Node* fresh = NewCachedNode(static_cast<uint32_t>(appendAt_));
  appendAt_ += size;
  fresh->level = level;
  fresh->body.assign(storedSize(), 0);
  ReviveNode(*fresh);
  *node = fresh;
  return OKV_SUCCESS;
}

void Store::ReviveNode(Node& node) {
  node.free = false;
  node.whole = true;
  node.links.assign(size_t{2} * node.level * keyCount(), 0);
}

void Store::SetRecord(Node& node, const uint8_t* record) {
  const std::span<const uint8_t> source(record, recordSize());
  if (header_.encrypted()) {
    node.plain.assign(storedSize(), 0);
    StoreU16(node.plain.data(), recordSize());
    std::copy(source.begin(), source.end(), node.plain.begin() + 2);
    node.body.resize(storedSize());
    EncryptRecordBody(Cipher(), source, node.body);
  } else {
    node.body.assign(source.begin(), source.end());
  }
  node.recordReady = true;
  node.bodyDirty = true;
}

uint8_t Store::ReadSoleRecord(uint8_t* record) {
  std::vector<uint8_t>& body = scratch_.out;
  body.resize(storedSize());
  if (const uint8_t rc = file_.Read(kHeaderSize, body.data(), body.size())) return rc;
  size_t at = 0;
  if (header_.encrypted()) {
    if (const uint8_t rc = DecryptRecordBody(Cipher(), body, recordSize())) return rc;
    at = 2;
  }
  std::memcpy(record, body.data() + at, recordSize());
  return OKV_SUCCESS;
}

uint8_t Store::WriteSoleRecord(const uint8_t* record) {
  std::vector<uint8_t>& body = scratch_.out;
  body.resize(storedSize());
  if (header_.encrypted()) {
    EncryptRecordBody(Cipher(), std::span<const uint8_t>(record, recordSize()), body);
  } else {
    std::memcpy(body.data(), record, recordSize());
  }
  return file_.Write(kHeaderSize, body);
}

uint8_t Store::Flush() {
  if (headerDirty_) {
    if (const uint8_t rc = file_.Write(0, std::span<const uint8_t>(header_.bytes(), kHeaderSize))) return rc;
    headerDirty_ = false;
  }
  std::vector<uint8_t>& out = scratch_.out;
  const unsigned m = maxLevel();
  for (unsigned k = 0; k < scratch_.headsDirty.size(); ++k) {
    if (!scratch_.headsDirty[k]) continue;
    out.clear();
    for (unsigned j = 0; j < 2 * m; ++j) AppendU32(out, scratch_.heads[size_t{k} * 2 * m + j]);
    if (const uint8_t rc = file_.Write(KeyBlockOffset(k, m) + kKeyDescriptorSize, out)) return rc;
    scratch_.headsDirty[k] = 0;
  }
  for (size_t i = 0; i < scratch_.used; ++i) {
    Node& node = *scratch_.pool[i];
    const bool links = node.whole || node.linksDirty;
    const bool body = node.whole || node.bodyDirty;
    if (!links && !body) continue;
    out.clear();
    const uint32_t bodyAt = NodeBodyAt(node.level, keyCount());
    if (links) {
      out.push_back(static_cast<uint8_t>(node.level | (node.free ? kFreeMark : 0)));
      for (uint32_t link : node.links) AppendU32(out, link);
    }
    if (links && body) out.push_back(node.level);
    if (body) out.insert(out.end(), node.body.begin(), node.body.end());
    // Links and body together run from the node's start through its trailing level byte.
    const uint32_t at = node.offset + (links ? 0 : bodyAt);
    if (const uint8_t rc = file_.Write(at, out)) return rc;
    node.whole = node.linksDirty = node.bodyDirty = false;
  }
  return OKV_SUCCESS;
}

}  // namespace okv
