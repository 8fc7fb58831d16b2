// Reproducible sample data for the producer tests.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

inline std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// Text-like data: words from a small vocabulary, so it repeats at many distances.
inline std::vector<uint8_t> WordySample(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"the ", "archive ", "stub ", "window ", "folder ", "file ",
                                       "extract ", "\xE8\xA7\xA3\xE5\x87\x8D ", "data\n", "of "};
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  while (out.size() < size) {
    std::string w = kWords[rng() % 10];
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(size);
  return out;
}
