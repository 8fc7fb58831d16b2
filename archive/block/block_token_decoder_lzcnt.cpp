// The token loop built for x86-64 CPUs with LZCNT and BMI2 (compiled with
// -mlzcnt -mbmi2): the class of a number is one LZCNT, and shifts by a
// register need no CL.  Called only after DecodeTokens has checked the CPU.
#include "archive/block/block_token_loop.h"

bool DecodeTokensLzcnt(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literalTable,
                       uint8_t* out, uint32_t decodedSize, const ProgressSink& sink) {
  return DecodeTokensLoop(stream, streamEnd, literalTable, out, decodedSize, sink);
}
