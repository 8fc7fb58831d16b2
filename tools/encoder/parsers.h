// The parsers turn data into tokens, a segment at a time, under the exact bit
// costs of the format.  Both see the whole data (matches reach back across
// segment borders) and hand each finished segment's tokens to `sink` together
// with the number of input bytes covered so far.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/encoder/code_costs.h"
#include "tools/encoder/token.h"

using TokenSink = std::function<void(const std::vector<Token>& tokens, size_t bytesDone)>;

struct SearchSettings {
  uint32_t depth;       // hash-chain candidates examined per position
  uint32_t niceLength;  // a match this long is taken without looking further
  bool lazy;            // let a better match one byte later win over this one
};

// Greedy or lazy parsing: each match is chosen by its saving in bits over
// coding its bytes as literals, not by its length alone.
void ParseGreedy(const uint8_t* data, size_t size, const CodeCosts& costs,
                 const SearchSettings& settings, const TokenSink& sink);

// Optimal parsing: the cheapest token sequence for these costs, found as a
// shortest path over every position of a segment.  The format has no state
// between tokens, so one price per position makes the path exact.
void ParseOptimal(const uint8_t* data, size_t size, const CodeCosts& costs,
                  const SearchSettings& settings, const TokenSink& sink);
