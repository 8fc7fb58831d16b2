// A minimal PE image with a resource directory holding type "VAL", id 133,
// built byte by byte so the producer tests do not depend on the real stub.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace fake_stub {

constexpr uint32_t kResourceFileOffset = 0x200;
constexpr uint32_t kResourceRva = 0x1000;
constexpr uint32_t kLocatorDataOffset = 0x70;  // within the resource section
constexpr uint32_t kLocatorFileOffset = kResourceFileOffset + kLocatorDataOffset;

inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// `typeName` is the resource type's name (3 characters), `id` its id.
inline std::vector<uint8_t> Make(const char* typeName = "VAL", uint32_t id = 133) {
  std::vector<uint8_t> b(0x400, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x40);
  std::memcpy(&b[0x40], "PE\0\0", 4);
  Put16(b, 0x44, 0x14C);  // i386
  Put16(b, 0x46, 1);      // one section
  Put16(b, 0x54, 224);    // optional header size
  const size_t opt = 0x58;
  Put16(b, opt, 0x10B);
  Put32(b, opt + 92, 16);  // data directories
  Put32(b, opt + 112, kResourceRva);
  Put32(b, opt + 116, 0x80);
  const size_t section = opt + 224;
  std::memcpy(&b[section], ".rsrc", 5);
  Put32(b, section + 8, 0x200);
  Put32(b, section + 12, kResourceRva);
  Put32(b, section + 16, 0x200);
  Put32(b, section + 20, kResourceFileOffset);
  const size_t r = kResourceFileOffset;
  Put16(b, r + 12, 1);                      // root: one named entry
  Put32(b, r + 16, 0x80000000u | 0x60);     // its name
  Put32(b, r + 20, 0x80000000u | 0x18);     // -> id directory
  Put16(b, r + 0x18 + 14, 1);               // one id entry
  Put32(b, r + 0x28, id);
  Put32(b, r + 0x2C, 0x80000000u | 0x30);   // -> language directory
  Put16(b, r + 0x30 + 14, 1);
  Put32(b, r + 0x40, 0x411);
  Put32(b, r + 0x44, 0x50);                 // -> data entry
  Put32(b, r + 0x50, kResourceRva + kLocatorDataOffset);
  Put32(b, r + 0x54, 4);
  Put16(b, r + 0x60, 3);
  for (int i = 0; i < 3; ++i) Put16(b, r + 0x62 + 2 * i, static_cast<uint8_t>(typeName[i]));
  // Recognisable filler where the program's code would be.
  for (size_t i = 0x300; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 13);
  return b;
}

}  // namespace fake_stub
