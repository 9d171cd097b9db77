// The skip lists of an OKV file: searches, insertion points, linking and
// unlinking a node in one key's lists. Everything works on a Store's cached
// nodes; nothing reaches the disk before Store::Flush.
//
// Every key has, for each level, a forward list in ascending key order and a
// backward list mirroring it exactly; a node of level L takes part in levels
// 0 to L-1. Records with equal keys stand in the order they took the value.
// Links are checked before they are changed (a neighbour must point back at
// the node concerned), so a damaged file gives 11 rather than more damage.
#pragma once

#include <cstdint>
#include <span>

#include "okv/store.h"

namespace okv {

enum class SearchMode { kEqual, kGreaterOrEqual, kGreater, kLessOrEqual, kLess };

// The record a keyed read asks for (*found 0 when there is none).
uint8_t SearchKey(Store& store, unsigned k, SearchMode mode, std::span<const uint8_t> value, uint32_t* found);

// Where a record with key value `value` enters key k, behind every record
// whose key is less than or equal: for each level below `levels`, the owner
// (0 for the heads) of the forward array it follows. The walk starts at level
// topLevel - 1 (levels <= topLevel <= M). 15 when the value is present and
// the key does not allow duplicates.
uint8_t FindInsertionPoints(Store& store, unsigned k, std::span<const uint8_t> value, unsigned topLevel,
                            unsigned levels, uint32_t* owners);

// Links an unlinked node into key k behind the given owners, at all its levels.
uint8_t LinkNode(Store& store, unsigned k, Node& node, const uint32_t* owners);

// Takes a node out of key k's lists, clears its links of key k and reports
// its level-0 neighbours.
uint8_t UnlinkNode(Store& store, unsigned k, Node& node, uint32_t* next, uint32_t* previous);

// One more than the highest level whose list is not empty (0 for an empty file).
uint8_t HighestUsedLevel(Store& store);

}  // namespace okv
