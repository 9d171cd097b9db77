// The OKV file checker. It knows the file format from its own constants below
// and reads every field through bounds-checked little-endian helpers; only the
// record cipher is borrowed from the engine.
#include "okv/check/okv_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>

#include "okv/okv.h"

namespace okv::check {
namespace {

// ---- The format -------------------------------------------------------------

constexpr uint64_t kHeaderSize = 128;
constexpr std::string_view kMagic = "PWOK";
constexpr uint64_t kVersionAt = 4;
constexpr uint64_t kFreeHeadAt = 8;
constexpr uint64_t kNodeCountAt = 12;
constexpr uint64_t kRecordCountAt = 16;
constexpr uint64_t kKeyCountAt = 20;
constexpr uint64_t kRecordSizeAt = 22;
constexpr uint64_t kEncryptedAt = 26;
constexpr uint64_t kCurrentLevelAt = 27;
constexpr uint64_t kMaxLevelAt = 28;
constexpr uint64_t kStoredKeyAt = 29;
constexpr uint64_t kCreationStateAt = 93;

constexpr uint16_t kOldestVersion = 0x0100;
constexpr uint16_t kFirstCipherVersion = 0x0107;
constexpr uint16_t kNewestVersion = 0x010A;
constexpr uint32_t kMaxEncryptedRecordSize = 65518;
constexpr unsigned kMaxLevelLimit = 32;
constexpr uint8_t kFreeMark = 0x80;
constexpr uint64_t kKeyDescriptorSize = 8;

// Stored size of a record body: enciphered bodies carry a 2-byte length and are
// padded to whole 16-byte cipher blocks.
uint32_t StoredRecordSize(uint32_t recordSize, bool encrypted) {
  return encrypted ? (recordSize + 17) & ~15u : recordSize;
}

// The number of link levels a file allows, fixed at creation from the body size.
unsigned ExpectedMaxLevel(uint32_t storedSize) {
  if (storedSize <= 1) return kMaxLevelLimit;
  return kMaxLevelLimit - static_cast<unsigned>(std::bit_width(storedSize) - 1);
}

uint16_t Get16(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

uint32_t Get32(std::span<const uint8_t> bytes, uint64_t at) {
  return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

// ---- Messages ---------------------------------------------------------------

enum class Msg {
  kUnreadable,
  kShorterThanHeader,
  kBadMagic,
  kUnknownVersion,
  kNotFinalized,
  kZeroRecordSize,
  kEncryptedRecordTooLarge,
  kBadMaxLevel,
  kUnusableMaxLevel,
  kCurrentLevelAboveMax,
  kCurrentLevelBelowUsed,
  kKeylessSize,
  kKeylessCounts,
  kKeylessFreeHead,
  kKeyBlocksTruncated,
  kBadKeyType,
  kBadKeyLength,
  kKeyBeyondRecord,
  kBadLevelByte,
  kNodePastEnd,
  kTrailingLevel,
  kNodeCount,
  kRecordCount,
  kFreeLinkNotNode,
  kFreeEntryLive,
  kFreeCycle,
  kFreeLinksNotZero,
  kFreeNotListed,
  kFreeCountVsHeader,
  kListAboveCurrentLevel,
  kHeadNotNode,
  kLinkNotNode,
  kLinkToFree,
  kLinkAboveNodeLevel,
  kListCycle,
  kBackLink,
  kBackHead,
  kListMissesNodes,
  kOutOfOrder,
  kDuplicateInUnique,
  kLevelOrder,
  kBodyWrongKey,
  kMoreProblems,
  kCount
};

// "{}" stands for the next argument.
constexpr std::array<const char*, static_cast<std::size_t>(Msg::kCount)> kMessages = {
    "cannot read the file: {}",
    "file is {} bytes, shorter than the 128-byte header",
    "magic is not \"PWOK\"",
    "version {} is not a known format version (0x0100 to 0x010A)",
    "creationState is {}, not 0: the file was never finalized",
    "recordSize is 0",
    "encrypted recordSize {} is above 65518",
    "maxLevel is {}, expected {} for a stored record size of {}",
    "maxLevel {} is outside 1 to 32; the key blocks cannot be located",
    "currentLevel {} is above maxLevel {}",
    "currentLevel {} is below the highest level in use, {}",
    "keyless file is {} bytes, expected 128 or {}",
    "keyless file of {} bytes has nodeCount {} and recordCount {}, expected {} and {}",
    "keyless file has freeHead {}, expected 0",
    "file is {} bytes, too short for {} key blocks ending at {}",
    "key {}: type byte {} names no key type",
    "key {}: length {} is not allowed for type {}",
    "key {}: field at {} of length {} lies beyond the {}-byte record",
    "node at {}: level byte {}, expected a level of 1 to {}",
    "node at {} of level {} ({} bytes) runs past the end of the file ({} bytes)",
    "node at {}: trailing level byte {} does not match level {}",
    "nodeCount is {} but the file holds {} nodes",
    "recordCount is {} but the file holds {} live nodes",
    "free list: {} names offset {}, which is not a node start",
    "free list: node at {} is not marked free",
    "free list: node at {} is reached a second time",
    "free node at {}: link bytes besides the next pointer are not zero",
    "free list holds {} nodes but {} nodes are marked free",
    "free list holds {} nodes but nodeCount - recordCount is {}",
    "key {} level {}: list is not empty although currentLevel is {}",
    "key {} level {}: forward head {} is not a node start",
    "key {} level {}: node at {} links forward to {}, which is not a node start",
    "key {} level {}: list reaches free node at {}",
    "key {} level {}: list reaches node at {} whose level is only {}",
    "key {} level {}: list reaches node at {} a second time",
    "key {} level {}: node at {} links backward to {}, expected {}",
    "key {} level {}: backward head is {}, expected {}",
    "key {} level {}: {} of the {} live nodes of that level are not in the list",
    "key {}: node at {} follows node at {} but has a smaller key",
    "key {}: nodes at {} and {} have equal values in a key without duplicates",
    "key {} level {}: node at {} follows node at {} against the level-0 order",
    "record body at {} does not decipher to a {}-byte record (result {}, length {})",
    "... and {} more problems",
};

struct Hex {
  uint64_t value;
  int width;
};

std::ostream& operator<<(std::ostream& out, const Hex& hex) {
  return out << "0x" << std::uppercase << std::hex << std::setw(hex.width) << std::setfill('0') << hex.value
             << std::dec << std::nouppercase;
}

// Small values are widened so that u8 fields print as numbers, not characters.
template <typename T>
auto Printable(const T& value) {
  if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    return static_cast<int64_t>(value);
  } else if constexpr (std::is_integral_v<T>) {
    return static_cast<uint64_t>(value);
  } else {
    return value;
  }
}

template <typename... Args>
std::string Format(Msg msg, const Args&... args) {
  std::string_view format = kMessages[static_cast<std::size_t>(msg)];
  std::ostringstream out;
  [[maybe_unused]] auto putNext = [&](const auto& arg) {
    std::size_t mark = format.find("{}");
    out << format.substr(0, mark);
    if (mark == std::string_view::npos) {
      format = {};
      return;
    }
    out << Printable(arg);
    format.remove_prefix(mark + 2);
  };
  (putNext(args), ...);
  out << format;
  return out.str();
}

class Report {
 public:
  template <typename... Args>
  void Add(Msg msg, const Args&... args) {
    if (lines_.size() < kMaxProblemLines) {
      lines_.push_back(Format(msg, args...));
    } else {
      ++unlisted_;
    }
  }

  std::vector<std::string> Finish() && {
    if (unlisted_ > 0) lines_.push_back(Format(Msg::kMoreProblems, unlisted_));
    return std::move(lines_);
  }

 private:
  std::vector<std::string> lines_;
  std::size_t unlisted_ = 0;
};

// ---- Key order --------------------------------------------------------------

uint8_t FoldCase(uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + ('a' - 'A')) : c; }

int CompareBytes(std::span<const uint8_t> a, std::span<const uint8_t> b, bool noCase) {
  std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    uint8_t x = noCase ? FoldCase(a[i]) : a[i];
    uint8_t y = noCase ? FoldCase(b[i]) : b[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// A text key ends at its terminator, or at the end of the field when it has none.
std::span<const uint8_t> TextOf(std::span<const uint8_t> field) {
  auto end = std::find(field.begin(), field.end(), uint8_t{0});
  return field.first(static_cast<std::size_t>(end - field.begin()));
}

uint64_t UnsignedOf(std::span<const uint8_t> field) {
  uint64_t value = 0;
  for (std::size_t i = field.size(); i-- > 0;) value = (value << 8) | field[i];
  return value;
}

int64_t SignedOf(std::span<const uint8_t> field) {
  uint64_t value = UnsignedOf(field);
  unsigned bits = static_cast<unsigned>(field.size() * 8);
  if (bits < 64 && (value >> (bits - 1)) != 0) value |= ~uint64_t{0} << bits;
  return static_cast<int64_t>(value);
}

double FloatOf(std::span<const uint8_t> field) {
  if (field.size() == 4) {
    return static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(UnsignedOf(field))));
  }
  return std::bit_cast<double>(UnsignedOf(field));
}

template <typename T>
int Spaceship(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Unordered values (NaN) sort after every number and equal to one another.
int CompareFloats(double a, double b) {
  bool aNan = std::isnan(a);
  bool bNan = std::isnan(b);
  if (aNan || bNan) return Spaceship(aNan, bNan);
  return Spaceship(a, b);
}

// REQUIRES: both fields have the key's valid length.
int CompareKeyFields(uint8_t typeByte, std::span<const uint8_t> a, std::span<const uint8_t> b) {
  bool noCase = (typeByte & OKV_KEY_NOCASE) != 0;
  switch (typeByte & OKV_KEY_TYPE_MASK) {
    case OKV_KEY_STRING:
      return CompareBytes(TextOf(a), TextOf(b), noCase);
    case OKV_KEY_BYTES:
      return CompareBytes(a, b, noCase);
    case OKV_KEY_UNSIGNED:
      return Spaceship(UnsignedOf(a), UnsignedOf(b));
    case OKV_KEY_SIGNED:
      return Spaceship(SignedOf(a), SignedOf(b));
    default:
      return CompareFloats(FloatOf(a), FloatOf(b));
  }
}

bool KeyLengthAllowed(unsigned type, unsigned length) {
  switch (type) {
    case OKV_KEY_STRING:
    case OKV_KEY_BYTES:
      return length >= 1;
    case OKV_KEY_UNSIGNED:
    case OKV_KEY_SIGNED:
      return length == 1 || length == 2 || length == 4;
    case OKV_KEY_FLOAT:
      return length == 4 || length == 8;
    default:
      return false;
  }
}

// ---- The checker ------------------------------------------------------------

struct Header {
  uint16_t version;
  uint32_t freeHead;
  uint32_t nodeCount;
  uint32_t recordCount;
  uint16_t keyCount;
  uint16_t recordSize;
  bool encrypted;
  uint8_t currentLevel;
  uint8_t maxLevel;
  uint8_t creationState;
};

struct KeyDescriptor {
  uint16_t offset;
  uint16_t length;
  uint8_t type;
  bool usable;  // the descriptor is valid, so the key's order can be checked
};

struct Node {
  uint64_t offset;
  unsigned level;
  bool free;
};

constexpr std::size_t kNoNode = std::numeric_limits<std::size_t>::max();

class FileChecker {
 public:
  FileChecker(std::span<const uint8_t> file, const uint8_t* recordKey, Report& report)
      : file_(file), givenKey_(recordKey), report_(report) {}

  void Run() {
    if (file_.size() < kHeaderSize) {
      report_.Add(Msg::kShorterThanHeader, file_.size());
      return;
    }
    if (!std::equal(kMagic.begin(), kMagic.end(), file_.begin())) {
      report_.Add(Msg::kBadMagic);
      return;
    }
    ReadHeader();
    if (!CheckHeaderFields()) return;
    if (header_.keyCount == 0) {
      CheckKeylessFile();
      return;
    }
    if (!ReadKeyBlocks()) return;
    WalkNodes();
    DecipherLiveBodies();
    CheckCounts();
    CheckFreeList();
    CountLiveNodesPerLevel();
    for (unsigned k = 0; k < header_.keyCount; ++k) CheckKeyLists(k);
    CheckCurrentLevel();
  }

 private:
  void ReadHeader() {
    header_.version = Get16(file_, kVersionAt);
    header_.freeHead = Get32(file_, kFreeHeadAt);
    header_.nodeCount = Get32(file_, kNodeCountAt);
    header_.recordCount = Get32(file_, kRecordCountAt);
    header_.keyCount = Get16(file_, kKeyCountAt);
    header_.recordSize = Get16(file_, kRecordSizeAt);
    // Files older than record encryption are plain whatever the byte says.
    header_.encrypted = file_[kEncryptedAt] != 0 && header_.version >= kFirstCipherVersion;
    header_.currentLevel = file_[kCurrentLevelAt];
    header_.maxLevel = file_[kMaxLevelAt];
    header_.creationState = file_[kCreationStateAt];
  }

  // False when the rest of the file cannot be interpreted.
  bool CheckHeaderFields() {
    if (header_.version < kOldestVersion || header_.version > kNewestVersion) {
      report_.Add(Msg::kUnknownVersion, Hex{header_.version, 4});
    }
    if (header_.creationState != 0) report_.Add(Msg::kNotFinalized, header_.creationState);
    if (header_.recordSize == 0) report_.Add(Msg::kZeroRecordSize);
    if (header_.encrypted && header_.recordSize > kMaxEncryptedRecordSize) {
      report_.Add(Msg::kEncryptedRecordTooLarge, header_.recordSize);
      return false;
    }
    storedSize_ = StoredRecordSize(header_.recordSize, header_.encrypted);
    unsigned expected = ExpectedMaxLevel(storedSize_);
    if (header_.maxLevel != expected) report_.Add(Msg::kBadMaxLevel, header_.maxLevel, expected, storedSize_);
    if (header_.maxLevel == 0 || header_.maxLevel > kMaxLevelLimit) {
      report_.Add(Msg::kUnusableMaxLevel, header_.maxLevel);
      return false;
    }
    if (header_.currentLevel > header_.maxLevel) {
      report_.Add(Msg::kCurrentLevelAboveMax, header_.currentLevel, header_.maxLevel);
    }
    return true;
  }

  void CheckKeylessFile() {
    uint64_t withRecord = kHeaderSize + storedSize_;
    if (header_.freeHead != 0) report_.Add(Msg::kKeylessFreeHead, header_.freeHead);
    if (file_.size() != kHeaderSize && file_.size() != withRecord) {
      report_.Add(Msg::kKeylessSize, file_.size(), withRecord);
      return;
    }
    uint32_t expected = file_.size() == withRecord ? 1 : 0;
    if (header_.nodeCount != expected || header_.recordCount != expected) {
      report_.Add(Msg::kKeylessCounts, file_.size(), header_.nodeCount, header_.recordCount, expected, expected);
    }
    if (expected == 1 && header_.encrypted) {
      std::vector<uint8_t> record;
      DecipherBody(kHeaderSize, record);
    }
  }

  bool ReadKeyBlocks() {
    unsigned m = header_.maxLevel;
    keyBlockSize_ = kKeyDescriptorSize + 8ull * m;
    keyBlocksEnd_ = kHeaderSize + header_.keyCount * keyBlockSize_;
    if (file_.size() < keyBlocksEnd_) {
      report_.Add(Msg::kKeyBlocksTruncated, file_.size(), header_.keyCount, keyBlocksEnd_);
      return false;
    }
    for (unsigned k = 0; k < header_.keyCount; ++k) {
      uint64_t at = KeyBlockAt(k);
      KeyDescriptor key{Get16(file_, at), Get16(file_, at + 2), file_[at + 4], true};
      unsigned type = key.type & OKV_KEY_TYPE_MASK;
      if (type > OKV_KEY_FLOAT) {
        report_.Add(Msg::kBadKeyType, k, Hex{key.type, 2});
        key.usable = false;
      } else if (!KeyLengthAllowed(type, key.length)) {
        report_.Add(Msg::kBadKeyLength, k, key.length, type);
        key.usable = false;
      }
      if (uint32_t{key.offset} + key.length > header_.recordSize) {
        report_.Add(Msg::kKeyBeyondRecord, k, key.offset, key.length, header_.recordSize);
        key.usable = false;
      }
      keys_.push_back(key);
    }
    return true;
  }

  uint64_t KeyBlockAt(unsigned k) const { return kHeaderSize + k * keyBlockSize_; }
  uint64_t ForwardHeadAt(unsigned k, unsigned l) const { return KeyBlockAt(k) + kKeyDescriptorSize + 4ull * l; }
  uint64_t BackwardHeadAt(unsigned k, unsigned l) const {
    return ForwardHeadAt(k, l) + 4ull * header_.maxLevel;
  }

  uint64_t NodeSize(unsigned level) const { return 2 + 8ull * level * header_.keyCount + storedSize_; }
  uint64_t ForwardLinkAt(const Node& node, unsigned k, unsigned l) const {
    return node.offset + 1 + 8ull * node.level * k + 4ull * l;
  }
  uint64_t BackwardLinkAt(const Node& node, unsigned k, unsigned l) const {
    return ForwardLinkAt(node, k, l) + 4ull * node.level;
  }
  uint64_t BodyAt(const Node& node) const { return node.offset + 2 + 8ull * node.level * header_.keyCount; }

  // Nodes lie back to back from the end of the key blocks to the end of the file.
  void WalkNodes() {
    uint64_t at = keyBlocksEnd_;
    while (at < file_.size()) {
      walkedEnd_ = at;
      uint8_t levelByte = file_[at];
      unsigned level = levelByte & ~kFreeMark;
      if (level == 0 || level > header_.maxLevel) {
        report_.Add(Msg::kBadLevelByte, at, Hex{levelByte, 2}, header_.maxLevel);
        return;
      }
      uint64_t size = NodeSize(level);
      if (size > file_.size() - at) {
        report_.Add(Msg::kNodePastEnd, at, level, size, file_.size());
        return;
      }
      uint8_t trailing = file_[at + 1 + 8ull * level * header_.keyCount];
      if (trailing != level) {
        report_.Add(Msg::kTrailingLevel, at, Hex{trailing, 2}, level);
        return;
      }
      nodes_.push_back(Node{at, level, (levelByte & kFreeMark) != 0});
      at += size;
    }
    walkedEnd_ = at;
    layoutComplete_ = true;
  }

  // Past a damaged node the layout is unknown: links into that part are not
  // reported again, the walk that meets one just ends.
  bool BeyondKnownLayout(uint64_t offset) const { return !layoutComplete_ && offset >= walkedEnd_; }

  std::size_t FindNode(uint64_t offset) const {
    auto it = std::lower_bound(nodes_.begin(), nodes_.end(), offset,
                               [](const Node& node, uint64_t value) { return node.offset < value; });
    return (it != nodes_.end() && it->offset == offset) ? static_cast<std::size_t>(it - nodes_.begin()) : kNoNode;
  }

  const uint8_t* RecordKey() const { return givenKey_ ? givenKey_ : file_.data() + kStoredKeyAt; }

  // Deciphers the stored body at `at` into `record`; false (and a report) when
  // it does not carry a record of the file's size.
  bool DecipherBody(uint64_t at, std::vector<uint8_t>& record) {
    record.assign(storedSize_, 0);
    uint16_t length = 0;
    uint8_t rc = OKVDecrypt(RecordKey(), file_.data() + at, static_cast<uint16_t>(storedSize_), record.data(), &length);
    if (rc != OKV_SUCCESS || length != header_.recordSize) {
      report_.Add(Msg::kBodyWrongKey, at, header_.recordSize, rc, length);
      record.clear();
      return false;
    }
    record.resize(header_.recordSize);
    return true;
  }

  void DecipherLiveBodies() {
    if (!header_.encrypted) return;
    plainBodies_.resize(nodes_.size());
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      if (!nodes_[i].free) DecipherBody(BodyAt(nodes_[i]), plainBodies_[i]);
    }
  }

  // The record of a live node; empty when its body could not be deciphered.
  std::span<const uint8_t> RecordOf(std::size_t index) const {
    if (header_.encrypted) return plainBodies_[index];
    return file_.subspan(BodyAt(nodes_[index]), header_.recordSize);
  }

  std::size_t LiveNodeCount() const {
    return static_cast<std::size_t>(std::count_if(nodes_.begin(), nodes_.end(), [](const Node& n) { return !n.free; }));
  }

  void CheckCounts() {
    if (!layoutComplete_) return;
    if (header_.nodeCount != nodes_.size()) report_.Add(Msg::kNodeCount, header_.nodeCount, nodes_.size());
    std::size_t live = LiveNodeCount();
    if (header_.recordCount != live) report_.Add(Msg::kRecordCount, header_.recordCount, live);
  }

  bool FreeNodeLinksZero(const Node& node) const {
    uint64_t from = node.offset + 5;  // level byte and next pointer
    uint64_t to = node.offset + 1 + 8ull * node.level * header_.keyCount;
    return std::all_of(file_.begin() + static_cast<std::ptrdiff_t>(from),
                       file_.begin() + static_cast<std::ptrdiff_t>(to), [](uint8_t b) { return b == 0; });
  }

  void CheckFreeList() {
    std::vector<bool> seen(nodes_.size(), false);
    std::size_t listed = 0;
    uint64_t from = 0;  // 0 names the header's freeHead
    uint32_t at = header_.freeHead;
    while (at != 0) {
      std::size_t index = FindNode(at);
      if (index == kNoNode) {
        if (BeyondKnownLayout(at)) return;
        report_.Add(Msg::kFreeLinkNotNode, from == 0 ? std::string("freeHead") : "node at " + std::to_string(from),
                    at);
        return;
      }
      const Node& node = nodes_[index];
      if (!node.free) {
        report_.Add(Msg::kFreeEntryLive, at);
        return;
      }
      if (seen[index]) {
        report_.Add(Msg::kFreeCycle, at);
        return;
      }
      seen[index] = true;
      ++listed;
      if (!FreeNodeLinksZero(node)) report_.Add(Msg::kFreeLinksNotZero, at);
      from = at;
      at = Get32(file_, node.offset + 1);
    }
    if (!layoutComplete_) return;
    std::size_t marked = nodes_.size() - LiveNodeCount();
    if (listed != marked) report_.Add(Msg::kFreeNotListed, listed, marked);
    int64_t headerFree = int64_t{header_.nodeCount} - int64_t{header_.recordCount};
    if (static_cast<int64_t>(listed) != headerFree) report_.Add(Msg::kFreeCountVsHeader, listed, headerFree);
  }

  // liveAboveLevel_[l]: how many live nodes the lists of level l must hold.
  void CountLiveNodesPerLevel() {
    liveAboveLevel_.assign(header_.maxLevel, 0);
    for (const Node& node : nodes_) {
      if (node.free) continue;
      for (unsigned l = 0; l < node.level; ++l) ++liveAboveLevel_[l];
    }
  }

  void CheckKeyLists(unsigned k) {
    rank_.assign(nodes_.size(), kNoNode);
    for (unsigned l = 0; l < header_.maxLevel; ++l) CheckList(k, l);
  }

  std::span<const uint8_t> KeyFieldOf(std::size_t index, const KeyDescriptor& key) const {
    std::span<const uint8_t> record = RecordOf(index);
    if (record.empty()) return {};
    return record.subspan(key.offset, key.length);
  }

  void CheckLevelZeroOrder(unsigned k, std::size_t previous, std::size_t current) {
    const KeyDescriptor& key = keys_[k];
    if (!key.usable) return;
    auto a = KeyFieldOf(previous, key);
    auto b = KeyFieldOf(current, key);
    if (a.empty() || b.empty()) return;
    int order = CompareKeyFields(key.type, a, b);
    if (order > 0) {
      report_.Add(Msg::kOutOfOrder, k, nodes_[current].offset, nodes_[previous].offset);
    } else if (order == 0 && (key.type & OKV_KEY_DUPLICATES) == 0) {
      report_.Add(Msg::kDuplicateInUnique, k, nodes_[previous].offset, nodes_[current].offset);
    }
  }

  // Walks key k's forward list at level l from its head, checking each step's
  // target, the mirrored backward link, and the order; then the backward head
  // and that the list holds every live node of that level.
  void CheckList(unsigned k, unsigned l) {
    uint32_t forwardHead = Get32(file_, ForwardHeadAt(k, l));
    uint32_t backwardHead = Get32(file_, BackwardHeadAt(k, l));
    if (l >= header_.currentLevel && (forwardHead != 0 || backwardHead != 0)) {
      report_.Add(Msg::kListAboveCurrentLevel, k, l, header_.currentLevel);
    }
    ++walkStamp_;
    if (stamps_.size() != nodes_.size()) stamps_.assign(nodes_.size(), 0);
    std::size_t previous = kNoNode;
    uint32_t previousOffset = 0;
    std::size_t length = 0;
    for (uint32_t at = forwardHead; at != 0;) {
      std::size_t index = FindNode(at);
      if (index == kNoNode) {
        if (BeyondKnownLayout(at)) return;
        if (previous == kNoNode) {
          report_.Add(Msg::kHeadNotNode, k, l, at);
        } else {
          report_.Add(Msg::kLinkNotNode, k, l, previousOffset, at);
        }
        return;
      }
      const Node& node = nodes_[index];
      if (node.free) {
        report_.Add(Msg::kLinkToFree, k, l, at);
        return;
      }
      if (node.level <= l) {
        report_.Add(Msg::kLinkAboveNodeLevel, k, l, at, node.level);
        return;
      }
      if (stamps_[index] == walkStamp_) {
        report_.Add(Msg::kListCycle, k, l, at);
        return;
      }
      stamps_[index] = walkStamp_;
      uint32_t back = Get32(file_, BackwardLinkAt(node, k, l));
      if (back != previousOffset) report_.Add(Msg::kBackLink, k, l, at, back, previousOffset);
      if (l == 0) {
        rank_[index] = length;
        if (previous != kNoNode) CheckLevelZeroOrder(k, previous, index);
      } else if (previous != kNoNode && rank_[index] != kNoNode && rank_[previous] != kNoNode &&
                 rank_[index] <= rank_[previous]) {
        report_.Add(Msg::kLevelOrder, k, l, at, previousOffset);
      }
      previous = index;
      previousOffset = at;
      ++length;
      at = Get32(file_, ForwardLinkAt(node, k, l));
    }
    if (backwardHead != previousOffset) report_.Add(Msg::kBackHead, k, l, backwardHead, previousOffset);
    if (!layoutComplete_) return;
    std::size_t expected = liveAboveLevel_[l];
    if (length != expected) report_.Add(Msg::kListMissesNodes, k, l, expected - length, expected);
  }

  void CheckCurrentLevel() {
    unsigned highest = 0;
    for (const Node& node : nodes_) {
      if (!node.free) highest = std::max(highest, node.level);
    }
    if (header_.currentLevel < highest) report_.Add(Msg::kCurrentLevelBelowUsed, header_.currentLevel, highest);
  }

  std::span<const uint8_t> file_;
  const uint8_t* givenKey_;
  Report& report_;
  Header header_{};
  uint32_t storedSize_ = 0;
  uint64_t keyBlockSize_ = 0;
  uint64_t keyBlocksEnd_ = 0;
  std::vector<KeyDescriptor> keys_;
  std::vector<Node> nodes_;
  bool layoutComplete_ = false;
  uint64_t walkedEnd_ = 0;  // where the node walk ended
  std::vector<std::vector<uint8_t>> plainBodies_;
  std::vector<std::size_t> liveAboveLevel_;
  std::vector<std::size_t> rank_;      // position in level 0 of the key being checked
  std::vector<uint64_t> stamps_;       // the walk that last visited each node
  uint64_t walkStamp_ = 0;
};

// Reads a whole regular file; an error text when it cannot.
std::optional<std::string> ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string(std::strerror(errno));
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::string(std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return std::string("not a regular file");
  bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::string(std::strerror(errno));
    if (got == 0) break;  // the file shrank while being read: check what is there
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return std::nullopt;
}

}  // namespace

std::vector<std::string> CheckOkvBytes(std::span<const uint8_t> file, const uint8_t* recordKey32) {
  Report report;
  FileChecker(file, recordKey32, report).Run();
  return std::move(report).Finish();
}

std::vector<std::string> CheckOkvFile(const std::string& path, const uint8_t* recordKey32) {
  std::vector<uint8_t> bytes;
  if (auto error = ReadWholeFile(path, bytes)) {
    Report report;
    report.Add(Msg::kUnreadable, *error);
    return std::move(report).Finish();
  }
  return CheckOkvBytes(bytes, recordKey32);
}

}  // namespace okv::check
