// The plain block decoder: every number read through ReadCode, every bit
// through ReadBits on the process-wide BitReader, every match copied a byte at
// a time.  Slow and obviously right; the differential tests hold the fast
// DecodeBlock against it.  The stub never links it.
#pragma once

#include <cstdint>

#include "archive/block/block_decoder.h"
#include "archive/block/block_tokens.h"

// Points the process-wide BitReader at a stream, so that ReadCode and
// ReadBits walk it from its first bit.
void ResetBitReader(const uint8_t* stream, const uint8_t* streamEnd);

// The number code and the bit source, a bit at a time on the process-wide
// BitReader (DecodeBlock keeps its own bit buffer).  Reading past the
// stream's end yields zero bits and marks the reader as overrun.
int32_t ReadCode();
uint32_t ReadBits(int count);

// DecodeTokens, bit at a time: resets the BitReader to `stream` and calls
// ReadCode once per number.  Same verdicts, bytes and reports.
bool DecodeTokensReference(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literalTable,
                           uint8_t* out, uint32_t decodedSize, const ProgressSink& sink);

// DecodeBlock with the reference token loop: the same checks in the same
// order, the same allocation and notifications.
DecodeResult DecodeBlockReference(const uint8_t* block, uint32_t blockSize, uint8_t** output,
                                  uint32_t* outputSize, NotifyWindow window, uint32_t message);
