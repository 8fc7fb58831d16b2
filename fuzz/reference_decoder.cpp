#include "fuzz/reference_decoder.h"

namespace {

constexpr uint64_t kFirstMatchNumber = 256;
constexpr uint64_t kShortestMatch = 3;
constexpr uint64_t kNotifyEvery = 8192;
// Classes beyond this give numbers no 32-bit size can use; stopping here keeps
// the 64-bit arithmetic exact.
constexpr int kLargestClass = 40;

// Bits most significant first, counted by absolute position.
class BitSource {
 public:
  BitSource(const uint8_t* data, size_t size) : data_(data), totalBits_(uint64_t{size} * 8) {}

  bool TakeBit(uint64_t* bit) {
    if (position_ >= totalBits_) return false;
    *bit = (data_[position_ / 8] >> (7 - position_ % 8)) & 1u;
    ++position_;
    return true;
  }

  // A number of class k: k - 1 one-bits, a zero-bit, then k bits holding
  // number - (2^k - 2).
  bool TakeNumber(uint64_t* number) {
    int k = 0;
    uint64_t bit = 1;
    while (bit == 1) {
      if (!TakeBit(&bit)) return false;
      if (++k > kLargestClass) return false;
    }
    uint64_t offset = 0;
    for (int i = 0; i < k; ++i) {
      if (!TakeBit(&bit)) return false;
      offset = offset * 2 + bit;
    }
    *number = (uint64_t{1} << k) - 2 + offset;
    return true;
  }

 private:
  const uint8_t* data_;
  uint64_t totalBits_;
  uint64_t position_ = 0;
};

// One token: a literal (length 1, distance 0) or a match.
struct Token {
  uint64_t number;
  uint64_t distance;
  uint64_t length;
};

bool TakeToken(BitSource& bits, Token* token) {
  if (!bits.TakeNumber(&token->number)) return false;
  if (token->number < kFirstMatchNumber) {
    token->distance = 0;
    token->length = 1;
    return true;
  }
  uint64_t second;
  if (!bits.TakeNumber(&second)) return false;
  token->distance = token->number - kFirstMatchNumber;
  token->length = second + kShortestMatch;
  return true;
}

bool MatchFits(const Token& token, uint64_t produced) {
  return token.distance >= 1 && token.distance <= produced;
}

}  // namespace

ReferenceResult ReferenceDecode(const uint8_t* stream, size_t streamSize,
                                const uint8_t* literalTable, uint64_t decodedSize) {
  ReferenceResult result;
  BitSource bits(stream, streamSize);
  uint64_t counter = 0;
  std::vector<uint8_t>& out = result.output;
  while (out.size() < decodedSize) {
    Token token;
    if (!TakeToken(bits, &token)) return ReferenceResult{};
    if (token.length > decodedSize - out.size()) return ReferenceResult{};
    if (token.number < kFirstMatchNumber) {
      out.push_back(literalTable[token.number]);
    } else {
      if (!MatchFits(token, out.size())) return ReferenceResult{};
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

uint64_t ReferenceDecodableSize(const uint8_t* stream, size_t streamSize, uint64_t limit) {
  BitSource bits(stream, streamSize);
  uint64_t produced = 0;
  Token token;
  while (TakeToken(bits, &token)) {
    if (token.length > limit - produced) break;
    if (token.number >= kFirstMatchNumber && !MatchFits(token, produced)) break;
    produced += token.length;
  }
  return produced;
}
