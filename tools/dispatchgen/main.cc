// dispatchgen LINES [FILE] [SEED]
//
// Writes a valid dispatch text file of LINES lines (to FILE, or to standard
// output), for benchmarks and demonstrations of TRKTQLoad.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/dispatchgen/dispatch_generator.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: dispatchgen LINES [FILE] [SEED]\n");
    return 2;
  }
  char* end = nullptr;
  const unsigned long long lines = std::strtoull(argv[1], &end, 10);
  if (end == argv[1] || *end != '\0' || lines > 100000000ULL) {
    std::fprintf(stderr, "dispatchgen: LINES must be a whole number up to 100000000\n");
    return 2;
  }
  const uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1;
  if (argc > 2) {
    std::ofstream out(argv[2], std::ios::binary);
    if (!out) {
      std::fprintf(stderr, "dispatchgen: cannot write %s\n", argv[2]);
      return 1;
    }
    trk::tools::WriteDispatchText(out, lines, seed);
    return out.good() ? 0 : 1;
  }
  trk::tools::WriteDispatchText(std::cout, lines, seed);
  return std::cout.good() ? 0 : 1;
}
