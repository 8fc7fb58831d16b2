// Encodes data as one compressed block: the 268-byte header (magic, decoded
// size, bit-stream size, literal table ranked by the block's literals) and
// the token stream, with a zero-filled last byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/encoder/search_settings.h"

constexpr int kStoreLevel = 0;    // entries are stored, never encoded
constexpr int kFastestLevel = 1;
constexpr int kDefaultLevel = 6;
constexpr int kBestLevel = 9;     // optimal parsing

// Called now and then with the number of input bytes encoded so far.
using EncodeProgress = std::function<void(size_t bytesDone)>;

// How one level encodes.
struct EncoderSettings {
  bool optimal;  // the optimal parse, else the greedy or lazy one
  SearchSettings search;
  // The level whose parse ranks the literal table of the first parse at
  // these settings (0: the data's own byte frequencies rank it).
  int rankingLevel;
  uint32_t passes;  // parses at these settings, each ranked by the one before
};

// The settings of `level` (1..9; values outside are clamped).
EncoderSettings LevelSettings(int level);

// `level` is 1..9 (values outside are clamped).  The data must stay below
// 2 GiB, since distances and lengths are coded as numbers below 2^31.
std::vector<uint8_t> EncodeBlock(const uint8_t* data, size_t size, int level,
                                 const EncodeProgress& progress = EncodeProgress());

// The same with settings of one's own (the benchmark compares window sizes).
std::vector<uint8_t> EncodeBlockWith(const uint8_t* data, size_t size, const EncoderSettings& settings,
                                     const EncodeProgress& progress = EncodeProgress());
