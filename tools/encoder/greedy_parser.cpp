#include <algorithm>

#include "tools/encoder/match_finder.h"
#include "tools/encoder/parsers.h"

namespace {

constexpr size_t kSegmentSize = 1 << 16;

// A match and the bits it saves over coding its bytes as literals.
struct Choice {
  uint32_t length = 0;
  uint32_t distance = 0;
  int32_t saving = 0;
};

class GreedyParser {
 public:
  GreedyParser(const uint8_t* data, size_t size, const CodeCosts& costs, const SearchSettings& settings)
      : data_(data), size_(size), costs_(costs), settings_(settings), finder_(data, size) {}

  void Run(TokenWriter* out) {
    size_t pos = 0;
    while (pos < size_) {
      size_t segmentEnd = std::min(size_, pos + kSegmentSize);
      // The last token may start just before the segment end, and the lazy
      // look one byte further: room for two longest matches behind it.
      FillLiteralPrefix(pos, std::min(size_, segmentEnd + 2 * kMaxMatchLength + 1));
      pos = ParseSegment(pos, segmentEnd, out);
      out->Reached(pos);
    }
  }

 private:
  // literalPrefix_[i] is the literal cost of data[prefixBase_, prefixBase_+i).
  void FillLiteralPrefix(size_t from, size_t to) {
    prefixBase_ = from;
    literalPrefix_.resize(to - from + 1);
    uint32_t* prefix = literalPrefix_.data();
    uint32_t sum = 0;
    prefix[0] = 0;
    for (size_t i = from; i < to; ++i) {
      sum += costs_.literalBits[data_[i]];
      prefix[i - from + 1] = sum;
    }
  }

  // Searches at `pos` (inserting it) and picks the match with the largest saving.
  Choice BestAt(size_t pos, uint32_t depth) {
    Choice best;
    const uint32_t* prefix = literalPrefix_.data() + (pos - prefixBase_);
    finder_.VisitMatches(pos, depth, settings_.niceLength, [&](uint32_t length, uint32_t distance) {
      int32_t saving = static_cast<int32_t>(prefix[length] - prefix[0]) -
                       static_cast<int32_t>(costs_.Match(length, distance));
      if (saving > best.saving) best = Choice{length, distance, saving};
    });
    return best;
  }

  // Parses from `pos` until a token ends at or past `segmentEnd`; answers the
  // position behind the last token.
  size_t ParseSegment(size_t pos, size_t segmentEnd, TokenWriter* out) {
    while (pos < segmentEnd) {
      Choice here = havePending_ ? pending_ : BestAt(pos, settings_.depth);
      havePending_ = false;
      if (here.saving <= 0) {
        out->Literal(data_[pos]);
        ++pos;
        continue;
      }
      if (settings_.lazy && here.length < settings_.niceLength && pos + 1 < size_) {
        // A long match already found needs only a shallow second look.
        uint32_t depth = here.length >= kGoodLength ? settings_.depth / 4 + 1 : settings_.depth;
        Choice next = BestAt(pos + 1, depth);
        if (next.saving > here.saving) {
          // One literal now, and the better match is looked at again next round.
          out->Literal(data_[pos]);
          ++pos;
          pending_ = next;
          havePending_ = true;
          continue;
        }
        InsertRange(pos + 2, pos + here.length, here.length);
      } else {
        InsertRange(pos + 1, pos + here.length, here.length);
      }
      out->Match(here.length, here.distance);
      pos += here.length;
    }
    return pos;
  }

  // Inserts the positions a match of `length` covers after its first ones.
  void InsertRange(size_t from, size_t to, uint32_t length) {
    if (length >= kLongRepeat) {
      for (size_t i = from; i < to; ++i) finder_.InsertInsideRepeat(i);
    } else {
      for (size_t i = from; i < to; ++i) finder_.Insert(i);
    }
  }

  static constexpr uint32_t kGoodLength = 16;
  static constexpr uint32_t kLongRepeat = 32;

  const uint8_t* data_;
  size_t size_;
  const CodeCosts& costs_;
  SearchSettings settings_;
  MatchFinder finder_;
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
