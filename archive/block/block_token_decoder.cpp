// The token loop for any CPU of the target, and DecodeTokens, which runs the
// LZCNT/BMI2 build of the same loop instead where the build has one and the
// CPU it runs on can execute it.
#include "archive/block/block_token_loop.h"

#if defined(KAITO_DECODER_LZCNT)
#include <cpuid.h>
#endif

bool DecodeTokensPortable(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literalTable,
                          uint8_t* out, uint32_t decodedSize, const ProgressSink& sink) {
  return DecodeTokensLoop(stream, streamEnd, literalTable, out, decodedSize, sink);
}

#if defined(KAITO_DECODER_LZCNT)
namespace {

// LZCNT is announced in extended leaf 0x80000001 (ECX bit 5), BMI2 in leaf 7
// (EBX bit 8).  On a CPU without LZCNT its encoding runs as BSR, which counts
// from the other end, so the check must come first.
bool CpuHasLzcntAndBmi2() {
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) || (ecx & (1u << 5)) == 0) return false;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) || (ebx & (1u << 8)) == 0) return false;
  return true;
}

}  // namespace

TokenDecoder LzcntTokenDecoder() {
  static const bool usable = CpuHasLzcntAndBmi2();
  return usable ? DecodeTokensLzcnt : nullptr;
}
#else
TokenDecoder LzcntTokenDecoder() { return nullptr; }
#endif

bool DecodeTokens(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literalTable,
                  uint8_t* out, uint32_t decodedSize, const ProgressSink& sink) {
  const TokenDecoder faster = LzcntTokenDecoder();
  if (faster != nullptr) return faster(stream, streamEnd, literalTable, out, decodedSize, sink);
  return DecodeTokensPortable(stream, streamEnd, literalTable, out, decodedSize, sink);
}
