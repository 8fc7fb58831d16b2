#include "tools/pe/pe_checksum.h"

#include "archive/archive_end.h"
#include "archive/archive_format.h"

namespace {

constexpr uint16_t kPe32PlusMagic = 0x020B;
constexpr uint32_t kOptionalHeaderStart = 4 + 20;  // behind the signature and the file header

}  // namespace

bool FindPeChecksumField(const uint8_t* image, size_t size, uint64_t* fieldOffset) {
  if (size < kPeOffsetField + 4 || image[0] != 'M' || image[1] != 'Z') return false;
  uint64_t pe = LoadU32(image + kPeOffsetField);
  uint64_t field = pe + kOptionalHeaderStart + kPeChecksumFieldOffset;
  if (field > size || size - field < 4 || LoadU32(image + pe) != kPeSignature) return false;
  uint16_t magic = LoadU16(image + pe + kOptionalHeaderStart);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return false;
  *fieldOffset = field;
  return true;
}

void PeChecksum::Add(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i, ++length_) {
    // The four bytes of the field count as zero, whatever they hold.
    uint32_t byte = length_ - field_ < 4 ? 0 : data[i];
    sum_ += (length_ & 1) != 0 ? byte << 8 : byte;
  }
}

uint32_t PeChecksum::Value() const {
  // The plain sum folded is the end-around-carry sum: both are the same
  // number modulo 0xFFFF, and both are 0 only when every word is.
  uint64_t folded = sum_;
  while ((folded >> 16) != 0) folded = (folded & 0xFFFF) + (folded >> 16);
  return static_cast<uint32_t>(folded + length_);
}
