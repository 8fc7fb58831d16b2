// The token loop of the block decoder, apart from the header checks and the
// output allocation.  DecodeBlock runs the fast loop; the bit-at-a-time
// reference loop (block_decoder_reference.h) has the same shape, so tests can
// hold the two side by side down to the output position of every report.
#pragma once

#include <cstdint>

// Told after the token that brings the bytes produced since the last report
// to kNotifyInterval or more (the count then restarts from 0); `produced` is
// the output position after that token.
struct ProgressSink {
  void (*report)(void* context, uint32_t produced);
  void* context;
};

// Decodes the stream [stream, streamEnd) into out[0, decodedSize), with
// literal numbers mapped through `literalTable` (256 bytes).  False when the
// stream is corrupt: a match reaching before the output's start (distance 0
// included), a token running past decodedSize, the stream ending inside a
// token, or a number of 2^31 or more (a prefix of 31 one-bits or more
// included).  Reads nothing outside the stream and the table and writes
// nothing outside `out`; on failure `out` holds unspecified bytes.
bool DecodeTokens(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literalTable,
                  uint8_t* out, uint32_t decodedSize, const ProgressSink& sink);

// A token loop: decodes the stream into exactly decodedSize bytes or refuses it.
using TokenDecoder = bool (*)(const uint8_t* stream, const uint8_t* streamEnd,
                              const uint8_t* literalTable, uint8_t* out, uint32_t decodedSize,
                              const ProgressSink& sink);

// The builds of DecodeTokens' loop, for tests that hold each against the
// reference: the one for any CPU of the target, and the one for x86-64 CPUs
// with LZCNT and BMI2, which LzcntTokenDecoder answers only where the build
// has it and the CPU can run it (null otherwise).  DecodeTokens runs the
// latter when there is one.
bool DecodeTokensPortable(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literalTable,
                          uint8_t* out, uint32_t decodedSize, const ProgressSink& sink);
bool DecodeTokensLzcnt(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literalTable,
                       uint8_t* out, uint32_t decodedSize, const ProgressSink& sink);
TokenDecoder LzcntTokenDecoder();

// The block around a token loop: the header checks in their order, the output
// allocation and the notifications.  DecodeBlock runs it with DecodeTokens.
int32_t DecodeBlockWith(TokenDecoder decodeTokens, const uint8_t* block, uint32_t blockSize,
                        uint8_t** output, uint32_t* outputSize, void* window, uint32_t message);
