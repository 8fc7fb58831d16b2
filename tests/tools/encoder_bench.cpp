// Prints, for each level, the total block size of the given files (each file
// its own block, as in an archive; a block not smaller than its file counts as
// the file stored) and the encode speed.  Usage: encoder_bench FILE...
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/encoder/block_encoder.h"

int main(int argc, char** argv) {
  std::vector<std::vector<uint8_t>> files;
  size_t total = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    total += files.back().size();
  }
  std::printf("%zu files, %zu bytes\nlevel      packed   ratio    MB/s\n", files.size(), total);
  for (int level = kFastestLevel; level <= kBestLevel; ++level) {
    size_t packed = 0;
    auto start = std::chrono::steady_clock::now();
    for (const auto& f : files) {
      if (f.empty()) continue;
      size_t block = EncodeBlock(f.data(), f.size(), level).size();
      packed += block < f.size() ? block : f.size();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double in = static_cast<double>(total);
    std::printf("%5d %11zu  %6.2f%%  %6.1f\n", level, packed, 100.0 * static_cast<double>(packed) / in,
                in / seconds / 1e6);
    std::fflush(stdout);
  }
}
