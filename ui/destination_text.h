// The destination dialog's message: what will be extracted, and how much
// free space it needs when the archive says so.
#pragma once

#include <cstdint>

// Room for a 259-byte name and both lines.
constexpr int kDestinationMessageSize = 512;

// One line for a required size of 0, else two lines joined by one
// line-feed byte, the second giving the size in MiB with two decimals.
void FormatDestinationMessage(char* out, const char* name, uint32_t requiredSize);
