// How hard a parse searches for matches: the settings each level gives it.
#pragma once

#include <cstdint>

// A longest match for parses that take any length.
constexpr uint32_t kAnyLength = 0xFFFFFFFFu;

struct SearchSettings {
  uint32_t windowLog;     // distances reach up to 2^windowLog - 1
  uint32_t longestMatch;  // lengths reach up to this (the lazy parses stop at 64 KiB)
  uint32_t depth;         // match candidates examined per position
  uint32_t niceLength;    // a match this long is taken without looking further
  // How many bytes further a better match may start and win over this one
  // (0: greedy; 2 and 3 only behind a short match).
  uint32_t lookAhead;
  uint32_t aheadDepth;    // candidates examined one byte further (a quarter as many beyond)
  uint32_t deeper;        // candidates added once a match of kDeepLength (12) bytes turns up
};
