#include <algorithm>

#include "tools/encoder/match_finder.h"
#include "tools/encoder/parsers.h"

namespace {

constexpr size_t kSegmentSize = 1 << 16;

// Bits saved by coding data[pos, pos+length) as this match rather than as
// literals; `literalPrefix` holds running literal costs from the segment start.
struct Choice {
  Match match{0, 0};
  int64_t saving = 0;
};

class GreedyParser {
 public:
  GreedyParser(const uint8_t* data, size_t size, const CodeCosts& costs, const SearchSettings& settings)
      : data_(data), size_(size), costs_(costs), settings_(settings), finder_(data, size),
        matches_(kMaxMatchLength + 1) {}

  void Run(TokenWriter* out) {
    size_t pos = 0;
    while (pos < size_) {
      size_t segmentEnd = std::min(size_, pos + kSegmentSize);
      FillLiteralPrefix(pos, std::min(size_, segmentEnd + 2 * kMaxMatchLength + 1));
      pos = ParseSegment(pos, segmentEnd, out);
      out->Reached(pos);
    }
  }

 private:
  void FillLiteralPrefix(size_t from, size_t to) {
    prefixBase_ = from;
    literalPrefix_.resize(to - from + 1);
    literalPrefix_[0] = 0;
    for (size_t i = from; i < to; ++i)
      literalPrefix_[i - from + 1] = literalPrefix_[i - from] + costs_.literalBits[data_[i]];
  }

  int64_t LiteralCost(size_t pos, uint32_t length) const {
    return int64_t{literalPrefix_[pos + length - prefixBase_]} - literalPrefix_[pos - prefixBase_];
  }

  // Searches at `pos` (inserting it) and picks the match with the largest saving.
  Choice BestAt(size_t pos) {
    Choice best;
    size_t count = finder_.FindMatches(pos, settings_.depth, settings_.niceLength, matches_.data());
    for (size_t j = 0; j < count; ++j) {
      const Match& m = matches_[j];
      int64_t saving = LiteralCost(pos, m.length) - costs_.Match(m.length, m.distance);
      if (saving > best.saving) best = Choice{m, saving};
    }
    return best;
  }

  // Parses from `pos` until a token ends at or past `segmentEnd`; answers the
  // position behind the last token.
  size_t ParseSegment(size_t pos, size_t segmentEnd, TokenWriter* out) {
    while (pos < segmentEnd) {
      Choice here = havePending_ ? pending_ : BestAt(pos);
      havePending_ = false;
      if (here.saving <= 0) {
        out->Literal(data_[pos]);
        ++pos;
        continue;
      }
      if (settings_.lazy && here.match.length < settings_.niceLength && pos + 1 < size_) {
        Choice next = BestAt(pos + 1);
        if (next.saving > here.saving) {
          // One literal now, and the better match is looked at again next round.
          out->Literal(data_[pos]);
          ++pos;
          pending_ = next;
          havePending_ = true;
          continue;
        }
        InsertRange(pos + 2, pos + here.match.length);
      } else {
        InsertRange(pos + 1, pos + here.match.length);
      }
      out->Match(here.match.length, here.match.distance);
      pos += here.match.length;
    }
    return pos;
  }

  void InsertRange(size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) finder_.Insert(i);
  }

  const uint8_t* data_;
  size_t size_;
  const CodeCosts& costs_;
  SearchSettings settings_;
  MatchFinder finder_;
  std::vector<Match> matches_;
  std::vector<uint32_t> literalPrefix_;
  size_t prefixBase_ = 0;
  // The search at the next position, already done by the lazy look-ahead
  // (a position is inserted only once, so it is never searched twice).
  bool havePending_ = false;
  Choice pending_;
};

}  // namespace

void ParseGreedy(const uint8_t* data, size_t size, const CodeCosts& costs,
                 const SearchSettings& settings, TokenWriter* out) {
  GreedyParser(data, size, costs, settings).Run(out);
}
