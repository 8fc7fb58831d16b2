// Runs DecodeBlock on one block and checks its answer: the header checks in
// their order (arguments and size 0, magic, size rule), the stream verdict and
// the decoded bytes against the reference decoder, the outputs left untouched
// on failure, and the number of progress notifications.
#pragma once

#include <cstdint>

// Blocks whose decodedSize is above this are not decoded by the targets: a
// few stream bytes may declare gigabytes, which proves nothing but time.
constexpr uint32_t kFuzzMaxDecodedSize = 1u << 20;

void CheckDecodeBlock(const uint8_t* block, uint32_t blockSize);
