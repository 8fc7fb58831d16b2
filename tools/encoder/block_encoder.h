// Encodes data as one compressed block: the 268-byte header (magic, decoded
// size, bit-stream size, literal table ranked by byte frequency) and the token
// stream, with distances 1..8191, lengths 3..512 and a zero-filled last byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

constexpr int kStoreLevel = 0;    // entries are stored, never encoded
constexpr int kFastestLevel = 1;
constexpr int kDefaultLevel = 6;
constexpr int kBestLevel = 9;     // optimal parsing

// Called now and then with the number of input bytes encoded so far.
using EncodeProgress = std::function<void(size_t bytesDone)>;

// `level` is 1..9 (values outside are clamped).  The data must stay below
// 4 GiB, since the block's sizes are 32-bit.
std::vector<uint8_t> EncodeBlock(const uint8_t* data, size_t size, int level,
                                 const EncodeProgress& progress = EncodeProgress());
