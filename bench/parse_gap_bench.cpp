// Prints how far the encoder's levels stay from the exhaustive optimal parse
// for the block's own literal table: one slice from the middle of each named
// file is encoded as a block, and its bit stream is compared with the fewest
// bytes any parse could take (distances back to the slice's first byte, any
// length) with the block's literal table.
// Usage: parse_gap_bench [--slice BYTES] FILE...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "archive/archive_format.h"
#include "exhaustive_parse.h"
#include "tools/encoder/block_encoder.h"

int main(int argc, char** argv) {
  size_t slice = 32768;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--slice") == 0) {
    slice = std::strtoul(argv[2], nullptr, 10);
    first = 3;
  }
  const int levels[] = {1, 6, 9};
  // Each level's block has its own literal table (ranked by its own
  // literals), so each is held against the optimum for its table.
  uint64_t optimalBytes[3] = {}, levelBytes[3] = {};
  std::printf("%-40s %9s %9s %8s %8s %8s\n", "file", "slice", "opt. l9", "+% l1", "+% l6", "+% l9");
  for (int i = first; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.empty()) continue;
    size_t size = std::min(slice, file.size());
    const uint8_t* data = file.data() + (file.size() - size) / 2;
    uint64_t optimal = 0;
    double gap[3];
    for (int l = 0; l < 3; ++l) {
      std::vector<uint8_t> block = EncodeBlock(data, size, levels[l]);
      uint64_t stream = LoadU32(block.data() + 8);
      optimal = (exhaustive::OptimalBits(data, size, block.data() + 12) + 7) / 8;
      optimalBytes[l] += optimal;
      levelBytes[l] += stream;
      gap[l] = 100.0 * (static_cast<double>(stream) / static_cast<double>(optimal) - 1.0);
    }
    const char* name = std::strrchr(argv[i], '/') ? std::strrchr(argv[i], '/') + 1 : argv[i];
    std::printf("%-40.40s %9zu %9llu %8.3f %8.3f %8.3f\n", name, size, static_cast<unsigned long long>(optimal),
                gap[0], gap[1], gap[2]);
    std::fflush(stdout);
  }
  std::printf("%-40s %9s %9llu", "total", "", static_cast<unsigned long long>(optimalBytes[2]));
  for (int l = 0; l < 3; ++l)
    std::printf(" %8.3f", 100.0 * (static_cast<double>(levelBytes[l]) / static_cast<double>(optimalBytes[l]) - 1.0));
  std::printf("\n");
}
