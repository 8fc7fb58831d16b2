// Reproducible sample data for the producer tests.
#pragma once

#include <algorithm>
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

// Machine-code-like data: opcodes from a small skewed set, little-endian
// addresses near a few bases, zero padding and repeated instruction runs.
inline std::vector<uint8_t> CodeLikeSample(size_t size, uint32_t seed) {
  static const uint8_t kOpcodes[] = {0x8B, 0x89, 0xE8, 0x83, 0xC7, 0x85, 0x74, 0x75, 0x50, 0x51,
                                     0x52, 0x53, 0x55, 0x56, 0x57, 0x5D, 0xC3, 0x8D, 0x0F, 0xFF};
  std::mt19937 engine(seed);
  auto rng = [&engine] { return static_cast<uint32_t>(engine()); };
  std::vector<uint8_t> out;
  while (out.size() < size) {
    uint32_t kind = rng() % 16;
    if (kind < 9) {
      // Skewed choice: low indices far more often.
      uint32_t a = rng() % 20, b = rng() % 20;
      out.push_back(kOpcodes[a < b ? a : b]);
    } else if (kind < 13) {
      uint32_t address = 0x10001000u + (rng() % 4) * 0x10000u + (rng() % 512) * 4;
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(address >> (8 * i)));
    } else if (kind < 14) {
      out.insert(out.end(), rng() % 24, 0);
    } else if (out.size() > 64) {
      // A copy of an earlier stretch, as compiled code repeats its idioms.
      size_t length = 4 + rng() % 40;
      size_t from = out.size() - 1 - rng() % std::min<size_t>(out.size() - length, 6000);
      for (size_t i = 0; i < length; ++i) out.push_back(out[from - length + i]);
    }
  }
  out.resize(size);
  return out;
}
