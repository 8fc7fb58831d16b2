#include <algorithm>
#include <limits>

#include "tools/encoder/tree_match_finder.h"
#include "tools/encoder/parsers.h"
#include "tools/encoder/token.h"

namespace {

// Segments bound the memory of the path arrays (8 bytes per position); a
// match never crosses a segment end, which costs a few bits per segment.
constexpr size_t kSegmentSize = 1 << 18;
constexpr uint32_t kUnreached = std::numeric_limits<uint32_t>::max();

class OptimalParser {
 public:
  OptimalParser(const uint8_t* data, size_t size, const CodeCosts& costs, const SearchSettings& settings)
      : data_(data), size_(size), costs_(costs), settings_(settings), finder_(data, size, settings.depth),
        matches_(kMaxMatchLength + 1) {}

  void Run(TokenWriter* out) {
    std::vector<Token> tokens;
    for (size_t start = 0; start < size_; start += kSegmentSize) {
      size_t end = std::min(size_, start + kSegmentSize);
      tokens.clear();
      ParseSegment(start, end, &tokens);
      for (const Token& t : tokens) {
        if (t.IsMatch())
          out->Match(t.length, t.value);
        else
          out->Literal(static_cast<uint8_t>(t.value));
      }
      out->Reached(end);
    }
  }

 private:
  // path_[i].price is the fewest bits that code data[start, start+i); the
  // token that ends there is remembered so the path can be walked back.
  void ParseSegment(size_t start, size_t end, std::vector<Token>* tokens) {
    size_t n = end - start;
    path_.assign(n + 1, Step{kUnreached, 0, 0});
    path_[0].price = 0;
    size_t i = 0;
    while (i < n) {
      size_t pos = start + i;
      uint32_t base = path_[i].price;
      Relax(&path_[i + 1], base + costs_.literalBits[data_[pos]], 0, 0);
      size_t count = finder_.FindMatches(pos, matches_.data());
      uint32_t limit = static_cast<uint32_t>(std::min<size_t>(kMaxMatchLength, end - pos));
      uint32_t reached = kMinMatchLength - 1;
      Step* from = &path_[i];
      for (size_t j = 0; j < count && reached < limit; ++j) {
        uint32_t length = std::min(matches_[j].length, limit);
        uint16_t distance = static_cast<uint16_t>(matches_[j].distance);
        uint32_t distancePrice = base + costs_.distanceBits[distance];
        // Each length is reached at the nearest distance that allows it.
        for (uint32_t l = reached + 1; l <= length; ++l)
          Relax(from + l, distancePrice + costs_.lengthBits[l], static_cast<uint16_t>(l), distance);
        reached = length;
      }
      if (count > 0 && matches_[count - 1].length >= settings_.niceLength && reached >= kMinMatchLength) {
        // A long repeat: take it whole rather than expanding every position inside.
        for (size_t k = 1; k < reached; ++k) finder_.Skip(pos + k);
        i += reached;
      } else {
        ++i;
      }
    }
    WalkBack(start, n, tokens);
  }

  struct Step {
    uint32_t price;
    uint16_t length;    // of the token that ends here; 0 for a literal
    uint16_t distance;
  };

  static void Relax(Step* target, uint32_t price, uint16_t length, uint16_t distance) {
    if (price < target->price) *target = Step{price, length, distance};
  }

  void WalkBack(size_t start, size_t n, std::vector<Token>* tokens) {
    size_t first = tokens->size();
    size_t k = n;
    while (k > 0) {
      uint32_t length = path_[k].length;
      if (length == 0) {
        tokens->push_back(Token::Literal(data_[start + k - 1]));
        k -= 1;
      } else {
        tokens->push_back(Token::Match(length, path_[k].distance));
        k -= length;
      }
    }
    std::reverse(tokens->begin() + static_cast<std::ptrdiff_t>(first), tokens->end());
  }

  const uint8_t* data_;
  size_t size_;
  const CodeCosts& costs_;
  SearchSettings settings_;
  TreeMatchFinder finder_;
  std::vector<Match> matches_;
  std::vector<Step> path_;
};

}  // namespace

void ParseOptimal(const uint8_t* data, size_t size, const CodeCosts& costs,
                  const SearchSettings& settings, TokenWriter* out) {
  OptimalParser(data, size, costs, settings).Run(out);
}
