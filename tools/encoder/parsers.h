// The parsers turn data into tokens under the exact bit costs of the format
// and hand them to a TokenBuffer in order, telling it now and then how much
// of the input the tokens cover.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/encoder/code_costs.h"
#include "tools/encoder/search_settings.h"
#include "tools/encoder/token_buffer.h"


// Greedy or lazy parsing: each match is chosen by its saving in bits over
// coding its bytes as literals, not by its length alone.
void ParseGreedy(const uint8_t* data, size_t size, const CodeCosts& costs,
                 const SearchSettings& settings, TokenBuffer* out);

// Optimal parsing: the cheapest token sequence for these costs, found as a
// shortest path over every position of a piece.  The format has no state
// between tokens, so one price per position makes the path exact.  It takes
// `depth` as the tree nodes visited per position and `niceLength` as the
// length from which a repeat is taken whole.
void ParseOptimal(const uint8_t* data, size_t size, const CodeCosts& costs,
                  const SearchSettings& settings, TokenBuffer* out);
