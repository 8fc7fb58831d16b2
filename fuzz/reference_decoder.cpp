#include "fuzz/reference_decoder.h"

#include "tests/support/number_code_reader.h"

using testsupport::NumberCodeReader;
using testsupport::StreamToken;

namespace {

constexpr uint64_t kNotifyEvery = 8192;

}  // namespace

ReferenceResult ReferenceDecode(const uint8_t* stream, size_t streamSize,
                                const uint8_t* literalTable, uint64_t decodedSize) {
  ReferenceResult result;
  NumberCodeReader bits(stream, streamSize);
  uint64_t counter = 0;
  std::vector<uint8_t>& out = result.output;
  while (out.size() < decodedSize) {
    StreamToken token;
    if (!testsupport::ReadToken(bits, &token)) return ReferenceResult{};
    if (token.length > decodedSize - out.size()) return ReferenceResult{};
    if (token.IsLiteral()) {
      out.push_back(literalTable[token.first]);
    } else {
      if (!testsupport::MatchReachesOutput(token, out.size())) return ReferenceResult{};
      for (uint64_t i = 0; i < token.length; ++i) out.push_back(out[out.size() - static_cast<size_t>(token.distance)]);
    }
    counter += token.length;
    if (counter >= kNotifyEvery) {
      counter = 0;
      ++result.notifications;
    }
  }
  ++result.notifications;
  result.ok = true;
  return result;
}
