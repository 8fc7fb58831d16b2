// Hash table sizes for the match finders.
#pragma once

#include <cstddef>

// Enough hash bits for `size` bytes of data, at least 10 and at most `most`:
// archives hold many small files, and clearing a table much larger than its
// data would cost more than the search it speeds up.
inline int HashBitsFor(size_t size, int most) {
  int bits = 10;
  while (bits < most && (size_t{1} << bits) < size) ++bits;
  return bits;
}
