// Builds OKV files byte by byte for the checker's tests, from the format alone:
// the caller gives the records with their levels and, per key, the order in
// which the live records stand; the builder lays out header, key blocks and
// nodes and writes every link, so a test starts from a sound file and damages
// exactly the bytes it means to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace okv::check::testing {

inline void Put16(std::vector<uint8_t>& bytes, std::size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t Read32(const std::vector<uint8_t>& bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[at + i];
  return value;
}

struct KeySpec {
  uint16_t offset;
  uint16_t length;
  uint8_t type;
};

struct NodeSpec {
  std::vector<uint8_t> body;  // exactly the stored size
  unsigned level;
  bool free = false;
};

struct FileSpec {
  uint16_t recordSize = 0;
  uint8_t encrypted = 0;
  uint16_t version = 0x010A;
  uint8_t storedKey[32] = {};
  std::vector<KeySpec> keys;
  std::vector<NodeSpec> nodes;            // in file order
  std::vector<std::vector<std::size_t>> orders;  // per key: live node indexes in key order
  std::vector<std::size_t> freeList;      // node indexes from freeHead on
};

inline uint32_t StoredSize(const FileSpec& layout) {
  return layout.encrypted ? (layout.recordSize + 17u) & ~15u : layout.recordSize;
}

inline uint8_t MaxLevelFor(uint32_t storedSize) {
  uint8_t m = 32;
  for (uint32_t s = storedSize; s > 1; s >>= 1) --m;
  return m;
}

struct BuiltFile {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> nodeAt;  // offset of each node of the layout
  uint8_t maxLevel = 0;
  std::size_t keyBlockSize = 0;

  std::size_t ForwardHeadAt(unsigned k, unsigned l) const { return 128 + k * keyBlockSize + 8 + 4 * l; }
  std::size_t BackwardHeadAt(unsigned k, unsigned l) const { return ForwardHeadAt(k, l) + 4u * maxLevel; }
  std::size_t ForwardLinkAt(const FileSpec& layout, std::size_t node, unsigned k, unsigned l) const {
    return nodeAt[node] + 1 + 8 * layout.nodes[node].level * k + 4 * l;
  }
  std::size_t BackwardLinkAt(const FileSpec& layout, std::size_t node, unsigned k, unsigned l) const {
    return ForwardLinkAt(layout, node, k, l) + 4 * layout.nodes[node].level;
  }
  std::size_t BodyAt(const FileSpec& layout, std::size_t node) const {
    return nodeAt[node] + 2 + 8 * layout.nodes[node].level * layout.keys.size();
  }
};

inline BuiltFile BuildFile(const FileSpec& layout) {
  BuiltFile out;
  const uint32_t stored = StoredSize(layout);
  const std::size_t keyCount = layout.keys.size();
  out.maxLevel = MaxLevelFor(stored);
  out.keyBlockSize = 8 + 8 * out.maxLevel;
  std::vector<uint8_t>& f = out.bytes;
  f.assign(128 + keyCount * out.keyBlockSize, 0);

  std::memcpy(f.data(), "PWOK", 4);
  Put16(f, 4, layout.version);
  Put16(f, 20, static_cast<uint16_t>(keyCount));
  Put16(f, 22, layout.recordSize);
  Put16(f, 24, 0x8002);
  f[26] = layout.encrypted;
  std::memcpy(f.data() + 29, layout.storedKey, 32);
  f[28] = out.maxLevel;

  unsigned highest = 0;
  uint32_t live = 0;
  for (const NodeSpec& node : layout.nodes) {
    out.nodeAt.push_back(static_cast<uint32_t>(f.size()));
    std::size_t at = f.size();
    f.resize(at + 2 + 8 * node.level * keyCount + stored, 0);
    f[at] = static_cast<uint8_t>(node.level | (node.free ? 0x80 : 0));
    f[at + 1 + 8 * node.level * keyCount] = static_cast<uint8_t>(node.level);
    std::copy(node.body.begin(), node.body.end(), f.begin() + static_cast<std::ptrdiff_t>(out.BodyAt(layout, out.nodeAt.size() - 1)));
    if (!node.free) {
      ++live;
      highest = std::max(highest, node.level);
    }
  }
  Put32(f, 12, static_cast<uint32_t>(layout.nodes.size()));
  Put32(f, 16, live);
  f[27] = static_cast<uint8_t>(highest);

  for (std::size_t k = 0; k < keyCount; ++k) {
    std::size_t block = 128 + k * out.keyBlockSize;
    Put16(f, block, layout.keys[k].offset);
    Put16(f, block + 2, layout.keys[k].length);
    f[block + 4] = layout.keys[k].type;
    for (unsigned l = 0; l < out.maxLevel; ++l) {
      uint32_t previous = 0;
      std::size_t previousIndex = 0;
      for (std::size_t index : layout.orders[k]) {
        if (layout.nodes[index].level <= l) continue;
        uint32_t here = out.nodeAt[index];
        if (previous == 0) {
          Put32(f, out.ForwardHeadAt(static_cast<unsigned>(k), l), here);
        } else {
          Put32(f, out.ForwardLinkAt(layout, previousIndex, static_cast<unsigned>(k), l), here);
        }
        Put32(f, out.BackwardLinkAt(layout, index, static_cast<unsigned>(k), l), previous);
        previous = here;
        previousIndex = index;
      }
      Put32(f, out.BackwardHeadAt(static_cast<unsigned>(k), l), previous);
    }
  }

  uint32_t next = 0;
  for (auto it = layout.freeList.rbegin(); it != layout.freeList.rend(); ++it) {
    Put32(f, out.nodeAt[*it] + 1, next);
    next = out.nodeAt[*it];
  }
  Put32(f, 8, next);
  return out;
}

}  // namespace okv::check::testing
