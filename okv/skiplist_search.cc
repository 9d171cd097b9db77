// Walking a key's lists: keyed reads and insertion points; see skiplist.h.
#include "okv/okv.h"
#include "okv/skiplist.h"

namespace okv {

namespace {

enum class Step { kPass, kStop, kDuplicate };

// Walks key k from its heads in direction d, from level top-1 down to 0,
// passing nodes while `decide` says so. Stores the owner at which the walk
// stopped for each level below `levels` (when owners is given) and returns
// the level-0 owner in *last.
template <typename Decide>
uint8_t Walk(Store& store, unsigned k, Direction d, std::span<const uint8_t> value, unsigned top, unsigned levels,
             Decide decide, uint32_t* owners, uint32_t* last) {
  const KeyDef& key = store.key(k);
  uint32_t owner = 0;
  for (unsigned l = top; l-- > 0;) {
    for (uint32_t steps = 0;; ++steps) {
      const uint32_t next = store.Links(owner, k, d)[l];
      if (next == 0) break;
      if (steps >= store.walkLimit()) return OKV_FILE_CORRUPTED;
      Node* node = nullptr;
      if (const uint8_t rc = store.FetchLinked(next, l, &node)) return rc;
      std::span<const uint8_t> field;
      if (const uint8_t rc = store.KeyFieldOf(*node, key, &field)) return rc;
      const Step step = decide(CompareKeys(key, field, value));
      if (step == Step::kDuplicate) return OKV_DUPLICATE_KEY;
      if (step == Step::kStop) break;
      owner = next;
    }
    if (owners && l < levels) owners[l] = owner;
  }
  *last = owner;
  return OKV_SUCCESS;
}

Direction DirectionOf(SearchMode mode) {
  return mode == SearchMode::kLessOrEqual || mode == SearchMode::kLess ? Direction::kBackward : Direction::kForward;
}

// Whether a search passes a node whose key compares `order` with the value.
bool Passes(SearchMode mode, int order) {
  switch (mode) {
    case SearchMode::kEqual:
    case SearchMode::kGreaterOrEqual:
      return order < 0;
    case SearchMode::kGreater:
      return order <= 0;
    case SearchMode::kLessOrEqual:
      return order > 0;
    default:
      return order >= 0;
  }
}

}  // namespace

uint8_t SearchKey(Store& store, unsigned k, SearchMode mode, std::span<const uint8_t> value, uint32_t* found) {
  *found = 0;
  const Direction d = DirectionOf(mode);
  const auto decide = [mode](int order) { return Passes(mode, order) ? Step::kPass : Step::kStop; };
  uint32_t owner = 0;
  if (const uint8_t rc = Walk(store, k, d, value, store.header().currentLevel(), 0, decide, nullptr, &owner)) {
    return rc;
  }
  const uint32_t result = store.Links(owner, k, d)[0];
  if (result == 0) return OKV_SUCCESS;
  Node* node = nullptr;
  if (const uint8_t rc = store.FetchLinked(result, 0, &node)) return rc;
  if (mode == SearchMode::kEqual) {
    std::span<const uint8_t> field;
    if (const uint8_t rc = store.KeyFieldOf(*node, store.key(k), &field)) return rc;
    if (CompareKeys(store.key(k), field, value) != 0) return OKV_SUCCESS;
  }
  *found = result;
  return OKV_SUCCESS;
}

uint8_t FindInsertionPoints(Store& store, unsigned k, std::span<const uint8_t> value, unsigned topLevel,
                            unsigned levels, uint32_t* owners) {
  const bool unique = !store.key(k).allowsDuplicates();
  const auto decide = [unique](int order) {
    if (order == 0 && unique) return Step::kDuplicate;
    return order <= 0 ? Step::kPass : Step::kStop;
  };
  uint32_t last = 0;
  return Walk(store, k, Direction::kForward, value, topLevel, levels, decide, owners, &last);
}

}  // namespace okv
