// A second, deliberately plain decoder of the block bit stream, written from
// the format as docs/format.md describes it, with 64-bit arithmetic and
// explicit bounds, reading through the test toolkit's number-code reader.  The
// decoder fuzz targets compare DecodeBlock with it, so a wrong byte, a wrong
// verdict or a wrong notification count shows up, not only a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ReferenceResult {
  bool ok = false;               // false: the stream is corrupt
  std::vector<uint8_t> output;   // the decoded bytes when ok
  uint64_t notifications = 0;    // progress notifications a window would get, the final one included
};

// Decodes until `decodedSize` bytes exist.  Corrupt: a match reaching before
// the output's start (distance 0 included), a match running past
// `decodedSize`, or the stream ending inside a token.  The caller keeps
// `decodedSize` small enough to hold in memory.
ReferenceResult ReferenceDecode(const uint8_t* stream, size_t streamSize,
                                const uint8_t* literalTable, uint64_t decodedSize);
