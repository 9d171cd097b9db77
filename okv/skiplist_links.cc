// Linking and unlinking a node in one key's lists; see skiplist.h.
#include <algorithm>

#include "okv/okv.h"
#include "okv/skiplist.h"

namespace okv {

namespace {

// The array of key k in direction d that belongs to the neighbour `owner` at
// `level` (the key's heads for 0), checked to hold `expected` at that level.
uint8_t NeighbourArray(Store& store, uint32_t owner, unsigned k, Direction d, unsigned level, uint32_t expected,
                       std::span<uint32_t>* array) {
  if (owner != 0) {
    Node* node = nullptr;
    if (const uint8_t rc = store.FetchLinked(owner, level, &node)) return rc;
  }
  *array = store.MutableLinks(owner, k, d);
  return (*array)[level] == expected ? OKV_SUCCESS : OKV_FILE_CORRUPTED;
}

}  // namespace

uint8_t LinkNode(Store& store, unsigned k, Node& node, const uint32_t* owners) {
  std::span<uint32_t> forward = store.MutableLinks(node.offset, k, Direction::kForward);
  std::span<uint32_t> backward = store.MutableLinks(node.offset, k, Direction::kBackward);
  for (unsigned l = 0; l < node.level; ++l) {
    const uint32_t previous = owners[l];
    std::span<uint32_t> before = store.MutableLinks(previous, k, Direction::kForward);
    const uint32_t next = before[l];
    std::span<uint32_t> after;
    if (const uint8_t rc = NeighbourArray(store, next, k, Direction::kBackward, l, previous, &after)) return rc;
    forward[l] = next;
    backward[l] = previous;
    before[l] = node.offset;
    after[l] = node.offset;
  }
  return OKV_SUCCESS;
}

uint8_t UnlinkNode(Store& store, unsigned k, Node& node, uint32_t* next, uint32_t* previous) {
  std::span<uint32_t> forward = store.MutableLinks(node.offset, k, Direction::kForward);
  std::span<uint32_t> backward = store.MutableLinks(node.offset, k, Direction::kBackward);
  for (unsigned l = 0; l < node.level; ++l) {
    std::span<uint32_t> after, before;
    if (const uint8_t rc = NeighbourArray(store, forward[l], k, Direction::kBackward, l, node.offset, &after)) {
      return rc;
    }
    if (const uint8_t rc = NeighbourArray(store, backward[l], k, Direction::kForward, l, node.offset, &before)) {
      return rc;
    }
    after[l] = backward[l];
    before[l] = forward[l];
  }
  *next = forward[0];
  *previous = backward[0];
  std::fill(forward.begin(), forward.end(), 0);
  std::fill(backward.begin(), backward.end(), 0);
  return OKV_SUCCESS;
}

uint8_t HighestUsedLevel(Store& store) {
  const std::span<const uint32_t> heads = store.Links(0, 0, Direction::kForward);
  for (unsigned l = heads.size(); l-- > 0;) {
    if (heads[l] != 0) return static_cast<uint8_t>(l + 1);
  }
  return 0;
}

}  // namespace okv
