#include <algorithm>
#include <limits>

#include "tools/encoder/match_finder.h"
#include "tools/encoder/parsers.h"

namespace {

// Segments bound the memory of the path arrays; a match never crosses a
// segment end, which costs a few bits per segment at most.
constexpr size_t kSegmentSize = 1 << 15;
constexpr uint32_t kUnreached = std::numeric_limits<uint32_t>::max();

class OptimalParser {
 public:
  OptimalParser(const uint8_t* data, size_t size, const CodeCosts& costs, const SearchSettings& settings)
      : data_(data), size_(size), costs_(costs), settings_(settings), finder_(data, size),
        matches_(kMaxMatchLength + 1) {}

  void Run(const TokenSink& sink) {
    std::vector<Token> tokens;
    for (size_t start = 0; start < size_; start += kSegmentSize) {
      size_t end = std::min(size_, start + kSegmentSize);
      tokens.clear();
      ParseSegment(start, end, &tokens);
      sink(tokens, end);
    }
  }

 private:
  // price_[i] is the fewest bits that code data[start, start+i); the token
  // that ends there is remembered so the path can be walked back.
  void ParseSegment(size_t start, size_t end, std::vector<Token>* tokens) {
    size_t n = end - start;
    price_.assign(n + 1, kUnreached);
    fromLength_.assign(n + 1, 0);
    fromDistance_.assign(n + 1, 0);
    price_[0] = 0;
    size_t i = 0;
    while (i < n) {
      size_t pos = start + i;
      uint32_t base = price_[i];
      Relax(i + 1, base + costs_.literalBits[data_[pos]], 0, 0);
      size_t count = finder_.FindMatches(pos, settings_.depth, settings_.niceLength, matches_.data());
      uint32_t limit = static_cast<uint32_t>(std::min<size_t>(kMaxMatchLength, end - pos));
      uint32_t reached = kMinMatchLength - 1;
      for (size_t j = 0; j < count && reached < limit; ++j) {
        uint32_t length = std::min(matches_[j].length, limit);
        uint32_t distance = matches_[j].distance;
        uint32_t distanceBits = base + costs_.distanceBits[distance];
        // Each length is reached at the smallest distance that allows it.
        for (uint32_t l = reached + 1; l <= length; ++l)
          Relax(i + l, distanceBits + costs_.lengthBits[l], l, distance);
        reached = std::max(reached, length);
      }
      if (count > 0 && matches_[count - 1].length >= settings_.niceLength && reached >= kMinMatchLength) {
        // A long repeat: take it whole rather than expanding every position inside.
        for (size_t k = 1; k < reached; ++k) finder_.Insert(pos + k);
        i += reached;
      } else {
        ++i;
      }
    }
    WalkBack(start, n, tokens);
  }

  void Relax(size_t target, uint32_t price, uint32_t length, uint32_t distance) {
    if (price < price_[target]) {
      price_[target] = price;
      fromLength_[target] = static_cast<uint16_t>(length);
      fromDistance_[target] = static_cast<uint16_t>(distance);
    }
  }

  void WalkBack(size_t start, size_t n, std::vector<Token>* tokens) {
    size_t first = tokens->size();
    size_t k = n;
    while (k > 0) {
      uint32_t length = fromLength_[k];
      if (length == 0) {
        tokens->push_back(Token::Literal(data_[start + k - 1]));
        k -= 1;
      } else {
        tokens->push_back(Token::Match(length, fromDistance_[k]));
        k -= length;
      }
    }
    std::reverse(tokens->begin() + static_cast<std::ptrdiff_t>(first), tokens->end());
  }

  const uint8_t* data_;
  size_t size_;
  const CodeCosts& costs_;
  SearchSettings settings_;
  MatchFinder finder_;
  std::vector<Match> matches_;
  std::vector<uint32_t> price_;
  std::vector<uint16_t> fromLength_;
  std::vector<uint16_t> fromDistance_;
};

}  // namespace

void ParseOptimal(const uint8_t* data, size_t size, const CodeCosts& costs,
                  const SearchSettings& settings, const TokenSink& sink) {
  OptimalParser(data, size, costs, settings).Run(sink);
}
