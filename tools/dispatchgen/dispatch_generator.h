// Writes realistic dispatch text files of any size, for benchmarks and demos.
//
// The text is what the accounting system exports under the standard tax
// structure: a few setup lines (base prices, a discount schedule, miscellaneous
// transactions, a totalizer line) followed by standard dispatch lines, every
// field quoted, lines ended by CR LF. Accounts get one to three tanks each and
// draw their taxes from a handful of tax profiles, so taxes and tax codes are
// shared as on a real day. The same line count and seed give the same text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>

namespace trk::tools {

// Writes exactly `lines` lines (at least the setup lines when fewer are asked).
void WriteDispatchText(std::ostream& out, size_t lines, uint32_t seed = 1);

}  // namespace trk::tools
