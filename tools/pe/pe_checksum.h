// The checksum field of a PE image's optional header and the standard
// algorithm that fills it: the file's 16-bit little-endian words added with
// end-around carry (the checksum field itself counted as zero; an odd last
// byte as a word of its own), folded to 16 bits, plus the file's length in
// bytes.  It covers the whole file, certificate table included, and signing
// tools set it anew when they append their signature.
//
// What it finds: any change confined to one byte, and any change of one
// 16-bit word other than 0x0000 <-> 0xFFFF (the two are equal in an
// end-around-carry sum); a change of the length.  Other damage keeps it with
// a chance of about 1 in 65535.
#pragma once

#include <cstddef>
#include <cstdint>

// Offset of the checksum field within the optional header.
constexpr uint32_t kPeChecksumFieldOffset = 64;

// The checksum field's file offset in a PE image (PE32 or PE32+), or false
// when the first `size` bytes hold no such header.
bool FindPeChecksumField(const uint8_t* image, size_t size, uint64_t* fieldOffset);

// Takes a file's bytes in order, in pieces of any size.
class PeChecksum {
 public:
  explicit PeChecksum(uint64_t fieldOffset) : field_(fieldOffset) {}
  void Add(const uint8_t* data, size_t size);
  uint32_t Value() const;

 private:
  uint64_t field_;
  uint64_t length_ = 0;
  uint64_t sum_ = 0;  // plain sum of the words; folded in Value()
};
