// okvcheck: an independent verifier of finalized OKV files.
//
// It reads the file's raw bytes and checks every structural invariant of the
// format without going through the engine's record operations, so that a fault
// in the engine's link handling cannot hide itself: header fields, key block
// descriptors, the node layout from the end of the key blocks to the end of the
// file, the free list, each key's forward and backward lists at every level and
// their order, the counts in the header, and for enciphered files that every live
// record body deciphers to a record of the right length. The cipher itself is
// the engine's (OKVDecrypt), which takes the engine's machine-wide lock.
//
// Contract:
//  - Any input is safe: damaged or hostile files never crash, hang or read out
//    of bounds; every walk is bounded by the number of nodes in the file.
//  - The result holds one human-readable line per problem, empty when the file
//    is sound. At most kMaxProblemLines lines are listed, followed by one line
//    that counts the rest.
//  - A file with a complete journal beside it is checked as it stands; open it
//    with the engine first when the journal should be applied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace okv::check {

inline constexpr std::size_t kMaxProblemLines = 50;

// Checks the file at `path`. `recordKey32` is the 32-byte record key the
// records were enciphered with; null means the key stored in the header.
std::vector<std::string> CheckOkvFile(const std::string& path, const uint8_t* recordKey32 = nullptr);

// The same check over the bytes of a whole file held in memory.
std::vector<std::string> CheckOkvBytes(std::span<const uint8_t> file, const uint8_t* recordKey32 = nullptr);

}  // namespace okv::check
