// Prints, for each level, the total block size of the given files (each file
// its own block, as in an archive; a block not smaller than its file counts as
// the file stored) and the encode speed, by wall clock and by this process's
// CPU time (the machine may be shared, so the two can differ).
// Usage: encoder_bench [--levels 1,6,9] FILE...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/encoder/block_encoder.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::vector<int> ParseLevels(const char* list) {
  std::vector<int> levels;
  for (const char* p = list; *p;) {
    char* end = nullptr;
    long level = std::strtol(p, &end, 10);
    if (end == p || level < kFastestLevel || level > kBestLevel) {
      std::fprintf(stderr, "encoder_bench: bad level list '%s'\n", list);
      std::exit(2);
    }
    levels.push_back(static_cast<int>(level));
    p = *end == ',' ? end + 1 : end;
  }
  return levels;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> levels;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--levels") == 0) {
    levels = ParseLevels(argv[2]);
    first = 3;
  } else {
    for (int level = kFastestLevel; level <= kBestLevel; ++level) levels.push_back(level);
  }
  std::vector<std::vector<uint8_t>> files;
  size_t total = 0;
  for (int i = first; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "encoder_bench: cannot read %s\n", argv[i]);
      return 2;
    }
    files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    total += files.back().size();
  }
  std::printf("%zu files, %zu bytes\nlevel      packed   ratio  MB/s wall  MB/s cpu\n", files.size(), total);
  for (int level : levels) {
    size_t packed = 0;
    auto start = std::chrono::steady_clock::now();
    double cpuStart = CpuSeconds();
    for (const auto& f : files) {
      if (f.empty()) continue;
      size_t block = EncodeBlock(f.data(), f.size(), level).size();
      packed += block < f.size() ? block : f.size();
    }
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = CpuSeconds() - cpuStart;
    double in = static_cast<double>(total);
    std::printf("%5d %11zu  %6.2f%%  %9.1f  %8.1f\n", level, packed, 100.0 * static_cast<double>(packed) / in,
                in / wall / 1e6, in / cpu / 1e6);
    std::fflush(stdout);
  }
}
