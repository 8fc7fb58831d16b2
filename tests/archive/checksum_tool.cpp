// Prints Checksum32 of the file named on the command line, in decimal, one a
// line: of its first 0, 1, ... 300 bytes (every tail and stripe count), of
// the whole file, and of the rest from byte 1, 2 and 3 (unaligned starts).  checksum_matches_xxhash.py compares each
// line with an independent implementation.
#include <cstdio>
#include <vector>

#include "archive/checksum.h"

constexpr size_t kPrefixes = 300;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) return 2;
  std::vector<uint8_t> data;
  int c;
  while ((c = std::fgetc(file)) != EOF) data.push_back(static_cast<uint8_t>(c));
  std::fclose(file);
  for (size_t length = 0; length <= data.size() && length <= kPrefixes; ++length)
    std::printf("%lu\n", static_cast<unsigned long>(Checksum32(data.data(), length)));
  std::printf("%lu\n", static_cast<unsigned long>(Checksum32(data.data(), data.size())));
  for (size_t start = 1; start <= 3 && start <= data.size(); ++start)
    std::printf("%lu\n", static_cast<unsigned long>(Checksum32(data.data() + start, data.size() - start)));
  return 0;
}
