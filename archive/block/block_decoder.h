// The block decoder: one whole compressed block in memory to a new buffer of
// exactly its decoded size.  Blocks are decoded one at a time in the whole
// process (only the extraction worker decodes).
#pragma once

#include <cstdint>

#include "archive/block/block_format.h"

enum DecodeResult : int32_t {
  DecodeOk = 0,
  DecodeOutOfMemory = 2,
  DecodeBadMagic = 3,
  // A missing pointer, a block size of 0 or other than 268 + bitStreamSize; a
  // corrupt bit stream (a match before the output start, a token past the
  // decoded size, a stream that ends early, a prefix of over 31 one-bits); from
  // FreeBlock: the heap refused the release.
  DecodeBadArgument = 6,
};

// The window that receives progress notifications: an HWND in the Win32 build,
// an opaque handle for the native seam.  Null sends nothing.
using NotifyWindow = void*;

DecodeResult DecodeBlock(const uint8_t* block, uint32_t blockSize, uint8_t** output,
                         uint32_t* outputSize, NotifyWindow window, uint32_t message);
DecodeResult FreeBlock(uint8_t* buffer);
