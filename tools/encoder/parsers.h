// The parsers turn data into tokens under the exact bit costs of the format
// and hand them to a TokenWriter in order, telling it now and then how much
// of the input the tokens cover.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/encoder/code_costs.h"
#include "tools/encoder/token_writer.h"

struct SearchSettings {
  uint32_t depth;       // match candidates examined per position
  uint32_t niceLength;  // a match this long is taken without looking further
  // How many bytes further a better match may start and win over this one
  // (0: greedy; 2 and 3 only behind a short match).
  uint32_t lookAhead;
  uint32_t aheadDepth;  // candidates examined one byte further (a quarter as many beyond)
  uint32_t deeper;      // candidates added once a match of kDeepLength (12) bytes turns up
};

// Greedy or lazy parsing: each match is chosen by its saving in bits over
// coding its bytes as literals, not by its length alone.
void ParseGreedy(const uint8_t* data, size_t size, const CodeCosts& costs,
                 const SearchSettings& settings, TokenWriter* out);

// Optimal parsing: the cheapest token sequence for these costs, found as a
// shortest path over every position of a segment.  The format has no state
// between tokens, so one price per position makes the path exact.  It takes
// `depth` as the tree nodes visited per position and `niceLength` as the
// length from which a repeat is taken whole.
void ParseOptimal(const uint8_t* data, size_t size, const CodeCosts& costs,
                  const SearchSettings& settings, TokenWriter* out);
