// The 32-bit checksum of the integrity record: XXH32 with seed 0, a public
// non-cryptographic hash chosen for speed on 32-bit x86 (four independent
// multiply-rotate lanes) so that checking what the stub decodes costs little
// beside decoding it.  It guards against accidental damage; a signature on the
// whole file guards against tampering.
//
// Any change confined to one 4-byte word of the input, and so any change of a
// single byte or bit, always changes the result: every step is a bijection of
// the lane it feeds and the lanes are summed after bijective rotations.  Other
// changes go unnoticed with a chance of about 2^-32.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t Checksum32(const uint8_t* data, size_t size);
