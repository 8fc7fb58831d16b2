#include <algorithm>
#include <limits>

#include "tools/encoder/parsers.h"
#include "tools/encoder/token.h"
#include "tools/encoder/tree_match_finder.h"

namespace {

// The path arrays cover one piece of the data at a time (12 bytes per
// position); the match finder goes on across pieces, so matches reach back
// into earlier ones.  A match never crosses a piece's end, which costs a few
// bits per piece.
constexpr size_t kPieceSize = size_t{1} << 22;

class OptimalParser {
 public:
  OptimalParser(const uint8_t* data, size_t size, const CodeCosts& costs, const SearchSettings& settings)
      : data_(data), size_(size), costs_(costs), settings_(settings),
        finder_(data, size, settings.windowLog, settings.longestMatch, settings.depth, settings.niceLength) {
    matches_.resize(finder_.MostMatches());
  }

  void Run(TokenBuffer* out) {
    std::vector<Token> tokens;
    for (size_t start = 0; start < size_; start += kPieceSize) {
      size_t end = std::min(size_, start + kPieceSize);
      tokens.clear();
      ParsePiece(start, end, &tokens);
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
  // One position of the path: the fewest bits that reach it (high half) and
  // the length of the token that ends there (0 for a literal), packed so that
  // one comparison weighs two offers; the match's distance lies beside it.
  using Step = uint64_t;
  static constexpr Step kUnreached = std::numeric_limits<Step>::max();
  static Step MakeStep(uint32_t price, uint32_t length) { return uint64_t{price} << 32 | length; }
  static uint32_t PriceOf(Step step) { return static_cast<uint32_t>(step >> 32); }
  static uint32_t LengthOf(Step step) { return static_cast<uint32_t>(step); }

  // Offers the token ending at path index `to`; the better offer is kept by
  // selecting values, since a branch would be mispredicted about every other time.
  void Relax(size_t to, uint32_t price, uint32_t length, uint32_t distance) {
    Step offer = MakeStep(price, length);
    bool better = offer < path_[to];
    path_[to] = better ? offer : path_[to];
    distance_[to] = better ? distance : distance_[to];
  }

  // path_[i] holds the fewest bits that code data[start, start+i) and the
  // token that ends there, so the path can be walked back.
  void ParsePiece(size_t start, size_t end, std::vector<Token>* tokens) {
    size_t n = end - start;
    path_.assign(n + 1, kUnreached);
    distance_.assign(n + 1, 0);
    path_[0] = MakeStep(0, 0);
    size_t i = 0;
    while (i < n) {
      size_t pos = start + i;
      uint32_t base = PriceOf(path_[i]);
      Relax(i + 1, base + costs_.literalBits[data_[pos]], 0, 0);
      size_t count = finder_.FindMatches(pos, matches_.data());
      uint32_t limit = static_cast<uint32_t>(end - pos);  // at most kPieceSize
      uint32_t reached = kMinMatchLength - 1;
      for (size_t j = 0; j < count && reached < limit; ++j) {
        uint32_t distanceBits = DistanceBits(matches_[j].distance);
        // A longer match whose distance costs no more makes this one useless:
        // only the longest of each distance class is tried.  (Tree matches
        // come in rising distance; the 3-byte one first may lie farther.)
        if (j + 1 < count && DistanceBits(matches_[j + 1].distance) <= distanceBits) continue;
        uint32_t length = std::min(matches_[j].length, limit);
        uint32_t distancePrice = base + distanceBits;
        // Each length is reached at the nearest distance that allows it, and
        // of the lengths in one code class (they cost the same) only the
        // longest.  A path that would stop earlier in the class and go on
        // with a match can stop at the class end instead and start that match
        // later, shortened, for no more bits; only where the shortened match
        // would fall below 3 bytes is a better path missed.  Against trying
        // every length that costs 0.07 % on machine code and 0.5 % on HTML
        // (with the 4 MiB window), and saves a tenth of the time.
        for (uint32_t classEnd = LengthClassEnd(reached + 1);; classEnd *= 2) {
          uint32_t last = std::min(length, classEnd);
          Relax(i + last, distancePrice + LengthBits(last), last, matches_[j].distance);
          if (last == length) break;
        }
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

  void WalkBack(size_t start, size_t n, std::vector<Token>* tokens) {
    size_t first = tokens->size();
    size_t k = n;
    while (k > 0) {
      uint32_t length = LengthOf(path_[k]);
      if (length == 0) {
        tokens->push_back(Token::Literal(data_[start + k - 1]));
        k -= 1;
      } else {
        tokens->push_back(Token::Match(length, distance_[k]));
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
  std::vector<uint32_t> distance_;  // beside path_: the distance of a match that ends there
};

}  // namespace

void ParseOptimal(const uint8_t* data, size_t size, const CodeCosts& costs,
                  const SearchSettings& settings, TokenBuffer* out) {
  OptimalParser(data, size, costs, settings).Run(out);
}
