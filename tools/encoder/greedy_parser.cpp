#include <algorithm>

#include "tools/encoder/match_finder.h"
#include "tools/encoder/parsers.h"

namespace {

// Progress is told after each segment.
constexpr size_t kSegmentSize = size_t{1} << 20;

// A match from farther back than this has a distance number of class 13 or
// more, which a decoder with a 32-bit bit buffer (the stub's) reads on its
// slow path.  The greedy and lazy parses weigh such a match as dearer by
// kSlowDistanceBits: on the bench corpus, level 6 blocks then decode under
// Wine 2 % slower than blocks of an 8 KiB window, not 5 % slower, and come
// out 0.15 % smaller rather than larger, since a far match chosen greedily
// over a near one is often the worse choice a few tokens later.
constexpr uint32_t kFarthestQuickDistance = 7933;
constexpr int32_t kSlowDistanceBits = 8;

// A match and the bits it saves over coding its bytes as literals.
struct Choice {
  uint32_t length = 0;
  uint32_t distance = 0;
  int32_t saving = 0;
};

class GreedyParser {
 public:
  GreedyParser(const uint8_t* data, size_t size, const CodeCosts& costs, const SearchSettings& settings)
      : data_(data), size_(size), costs_(costs), settings_(settings), finder_(data, size, settings.windowLog, settings.longestMatch) {}

  void Run(TokenBuffer* out) {
    size_t pos = 0;
    while (pos < size_) {
      pos = ParseSegment(pos, std::min(size_, pos + kSegmentSize), out);
      out->Reached(pos);
    }
  }

 private:
  // Searches at `pos` (inserting it) and picks the match with the largest
  // saving among those longer than `shorter`.  Matches come in rising
  // length, so the literal bits they replace are summed as they grow.
  Choice BestAt(size_t pos, uint32_t depth, uint32_t shorter = kMinMatchLength - 1) {
    Choice best;
    uint32_t summed = 0;
    uint32_t literalBits = 0;
    finder_.VisitMatches(
        pos, depth, settings_.niceLength,
        [&](uint32_t length, uint32_t distance) {
          for (; summed < length; ++summed) literalBits += costs_.literalBits[data_[pos + summed]];
          int32_t saving = Saving(literalBits, length, distance);
          if (saving > best.saving) best = Choice{length, distance, saving};
        },
        shorter, settings_.deeper);
    return best;
  }

  // The bits of `count` bytes from `pos` as literals.
  uint32_t LiteralBits(size_t pos, uint32_t count) const {
    uint32_t bits = 0;
    for (uint32_t i = 0; i < count; ++i) bits += costs_.literalBits[data_[pos + i]];
    return bits;
  }

  // The bits a match of `length` at `distance` saves over literals of
  // `literalBits` bits, a far match weighed as dearer.
  static int32_t Saving(uint32_t literalBits, uint32_t length, uint32_t distance) {
    int32_t matchBits = static_cast<int32_t>(CodeCosts::Match(length, distance));
    if (distance > kFarthestQuickDistance) matchBits += kSlowDistanceBits;
    return static_cast<int32_t>(literalBits) - matchBits;
  }

  // The same for a match of `length` at `distance` from `pos`.
  int32_t SavingOf(size_t pos, uint32_t length, uint32_t distance) const {
    return Saving(LiteralBits(pos, length), length, distance);
  }

  // Parses from `pos` until a token ends at or past `segmentEnd`; answers the
  // position behind the last token.
  size_t ParseSegment(size_t pos, size_t segmentEnd, TokenBuffer* out) {
    while (pos < segmentEnd) {
      Choice here = havePending_ ? pending_ : BestAt(pos, settings_.depth);
      havePending_ = false;
      if (here.saving <= 0) {
        out->Literal(data_[pos]);
        ++pos;
        continue;
      }
      uint32_t ahead = LookAhead(pos, here, out);
      if (ahead > 0) {
        pos += ahead;
        continue;
      }
      out->Match(here.length, here.distance);
      pos += here.length;
    }
    return pos;
  }

  // Looks for a match starting 1, 2 or 3 bytes after `pos` that saves more
  // than `here`.  When one does, the bytes before it are written (as literals,
  // or from 3 bytes on as `here` cut short, whichever saves more), it becomes
  // the pending choice and the answer is how far it lies ahead; otherwise the
  // positions `here` covers are inserted and the answer is 0.
  uint32_t LookAhead(size_t pos, const Choice& here, TokenBuffer* out) {
    uint32_t reach = here.length < settings_.niceLength ? settings_.lookAhead : 0;
    // Behind a long match the bytes saved by starting later are few.
    if (here.length >= kGoodLength) reach = std::min(reach, uint32_t{1});
    // Every position looked at lies inside `here`, so within the data.
    reach = std::min<uint32_t>(reach, here.length - 1);
    for (uint32_t ahead = 1; ahead <= reach; ++ahead) {
      // A long match already found needs only a shallow look; the second and
      // third bytes are a long shot, so they get a quarter of the look.
      uint32_t depth = here.length >= kGoodLength ? settings_.depth / 4 + 1 : settings_.aheadDepth;
      if (ahead > 1) {
        // Skipping dear bytes (machine code) seldom pays, and their searches
        // are time lost: further looks only past bytes of common literals.
        if (LiteralBits(pos, ahead) > ahead * kCheapLiteralBits) {
          reach = ahead - 1;
          break;
        }
        depth = depth / 4 + 1;
      }
      // A match shorter than `here` rarely saves more: only longer ones are looked for.
      Choice later = BestAt(pos + ahead, depth, here.length - 1);
      int32_t cut = ahead >= kMinMatchLength ? SavingOf(pos, ahead, here.distance) : 0;
      if (later.saving + std::max(cut, 0) > here.saving) {
        if (cut > 0) {
          out->Match(ahead, here.distance);
        } else {
          for (uint32_t k = 0; k < ahead; ++k) out->Literal(data_[pos + k]);
        }
        pending_ = later;
        havePending_ = true;
        return ahead;
      }
    }
    InsertRange(pos + reach + 1, pos + here.length, here.length);
    return 0;
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
  // Literals of the 14 most common bytes cost at most 6 bits, the next 16 8 bits.
  static constexpr uint32_t kCheapLiteralBits = 7;
  // Positions inside a match this long go into their chain only (from 32
  // down to 8: level 6 3 % faster on machine code for 0.03 % in size).
  static constexpr uint32_t kLongRepeat = 8;

  const uint8_t* data_;
  size_t size_;
  const CodeCosts& costs_;
  SearchSettings settings_;
  MatchFinder finder_;
  // The search at the next position, already done by the lazy look-ahead
  // (a position is inserted only once, so it is never searched twice).
  bool havePending_ = false;
  Choice pending_;
};

}  // namespace

void ParseGreedy(const uint8_t* data, size_t size, const CodeCosts& costs,
                 const SearchSettings& settings, TokenBuffer* out) {
  GreedyParser(data, size, costs, settings).Run(out);
}
