// What every fuzz target shares: the libFuzzer entry point, which libFuzzer
// drives in the fuzz build and replay_main.cpp drives with saved files in an
// ordinary build, and the check that stops the run when a property fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// A violated property aborts: libFuzzer then saves the input as a crash, and a
// replay test fails with the message.
#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)
