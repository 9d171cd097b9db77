// The OKV file format as named constants and little-endian field helpers.
//
// Layout of a file: a 128-byte header, one key block per key, then record
// nodes. Every integer is little-endian and every offset is an unsigned 32-bit
// count of bytes from the start of the file; offset 0 (the header) is never a
// node, so a link of 0 means "none". Bytes that come from a file are always
// read through the Load/Store helpers, never by casting a buffer to a struct.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace okv {

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr uint32_t kHeaderSize = 128;
constexpr char kMagic[4] = {'P', 'W', 'O', 'K'};
constexpr uint16_t kFormatVersion = 0x010A;
constexpr uint16_t kFirstEncryptingVersion = 0x0107;  // older files are always plain
constexpr unsigned kMaxKeys = 255;
constexpr unsigned kMaxLevels = 32;
constexpr uint8_t kFreeMark = 0x80;  // in a node's leading level byte
constexpr uint8_t kLevelMask = 0x7F;
constexpr uint16_t kMaxEncryptedRecordSize = 65518;
constexpr size_t kRecordKeySize = 32;
constexpr size_t kFileNameFieldSize = 32;  // at most 31 characters and a terminator
constexpr uint8_t kCreationStateNew = 3;
constexpr uint8_t kCreationStateKeyed = 1;
constexpr uint8_t kCreationFinalized = 0;

// Field offsets inside the header.
namespace hdr {
constexpr size_t kMagicAt = 0;
constexpr size_t kVersion = 4;
constexpr size_t kFileId = 6;
constexpr size_t kFreeHead = 8;
constexpr size_t kNodeCount = 12;
constexpr size_t kRecordCount = 16;
constexpr size_t kKeyCount = 20;
constexpr size_t kRecordSize = 22;
constexpr size_t kOpenFlags = 24;
constexpr size_t kEncrypted = 26;
constexpr size_t kCurrentLevel = 27;
constexpr size_t kMaxLevel = 28;
constexpr size_t kStoredKey = 29;
constexpr size_t kFileName = 61;
constexpr size_t kCreationState = 93;
}  // namespace hdr

// The 128 header bytes with named accessors. Reserved bytes are kept as read,
// so rewriting a header changes only the fields that were set.
class Header {
 public:
  uint8_t* bytes() { return raw_; }
  const uint8_t* bytes() const { return raw_; }

  bool HasMagic() const { return std::memcmp(raw_ + hdr::kMagicAt, kMagic, sizeof kMagic) == 0; }
  uint16_t version() const { return LoadU16(raw_ + hdr::kVersion); }
  uint16_t fileId() const { return LoadU16(raw_ + hdr::kFileId); }
  uint32_t freeHead() const { return LoadU32(raw_ + hdr::kFreeHead); }
  uint32_t nodeCount() const { return LoadU32(raw_ + hdr::kNodeCount); }
  uint32_t recordCount() const { return LoadU32(raw_ + hdr::kRecordCount); }
  uint16_t keyCount() const { return LoadU16(raw_ + hdr::kKeyCount); }
  uint16_t recordSize() const { return LoadU16(raw_ + hdr::kRecordSize); }
  uint16_t openFlags() const { return LoadU16(raw_ + hdr::kOpenFlags); }
  uint8_t encryptedByte() const { return raw_[hdr::kEncrypted]; }
  uint8_t currentLevel() const { return raw_[hdr::kCurrentLevel]; }
  uint8_t maxLevel() const { return raw_[hdr::kMaxLevel]; }
  const uint8_t* storedKey() const { return raw_ + hdr::kStoredKey; }
  const uint8_t* fileName() const { return raw_ + hdr::kFileName; }
  uint8_t creationState() const { return raw_[hdr::kCreationState]; }
  // Record bodies are enciphered only in files new enough to know encryption.
  bool encrypted() const { return encryptedByte() != 0 && version() >= kFirstEncryptingVersion; }

  void SetFreeHead(uint32_t v) { StoreU32(raw_ + hdr::kFreeHead, v); }
  void SetNodeCount(uint32_t v) { StoreU32(raw_ + hdr::kNodeCount, v); }
  void SetRecordCount(uint32_t v) { StoreU32(raw_ + hdr::kRecordCount, v); }
  void SetKeyCount(uint16_t v) { StoreU16(raw_ + hdr::kKeyCount, v); }
  void SetCurrentLevel(uint8_t v) { raw_[hdr::kCurrentLevel] = v; }
  void SetCreationState(uint8_t v) { raw_[hdr::kCreationState] = v; }

 private:
  uint8_t raw_[kHeaderSize] = {};
};

// Size of a record body on disk: the record itself, or for an enciphered body
// the length word, the record and padding, rounded down to whole 16-byte blocks.
constexpr uint32_t CipherBodySize(uint32_t recordSize) { return (recordSize + 17) & ~uint32_t{15}; }
constexpr uint32_t StoredSize(uint32_t recordSize, bool encrypted) {
  return encrypted ? CipherBodySize(recordSize) : recordSize;
}

// M, the number of levels of every list head, fixed at creation from the stored size.
constexpr uint8_t MaxLevelFor(uint32_t storedSize) {
  if (storedSize <= 1) return kMaxLevels;
  return static_cast<uint8_t>(kMaxLevels - (std::bit_width(storedSize) - 1));
}

// Key block k: descriptor (offset u16, length u16, type u8, 3 reserved), then
// M forward heads and M backward heads.
constexpr uint32_t kKeyDescriptorSize = 8;
constexpr uint32_t KeyBlockSize(uint32_t maxLevel) { return kKeyDescriptorSize + 8 * maxLevel; }
constexpr uint32_t KeyBlockOffset(uint32_t key, uint32_t maxLevel) {
  return kHeaderSize + key * KeyBlockSize(maxLevel);
}
constexpr uint32_t KeyBlocksEnd(uint32_t keyCount, uint32_t maxLevel) { return KeyBlockOffset(keyCount, maxLevel); }

// Node of level L: level byte, per key L forward then L backward links, the
// level byte again, then the body.
constexpr uint32_t NodeLinksSize(uint32_t level, uint32_t keyCount) { return 8 * level * keyCount; }
constexpr uint32_t NodeTrailerAt(uint32_t level, uint32_t keyCount) { return 1 + NodeLinksSize(level, keyCount); }
constexpr uint32_t NodeBodyAt(uint32_t level, uint32_t keyCount) { return 2 + NodeLinksSize(level, keyCount); }
constexpr uint64_t NodeSize(uint32_t level, uint32_t keyCount, uint32_t storedSize) {
  return uint64_t{NodeBodyAt(level, keyCount)} + storedSize;
}

enum class Direction : uint8_t { kForward = 0, kBackward = 1 };

}  // namespace okv
