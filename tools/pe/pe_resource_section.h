// Takes a program's resource section out of its PE image and puts a new one
// of any size back: the sections behind it move (in the file and in memory),
// and every header field that describes them follows.  Everything else in the
// image stays byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ResourceSectionPlace {
  uint32_t rva = 0;         // where the section is mapped
  uint32_t fileOffset = 0;  // where its bytes are in the file
  uint32_t size = 0;        // its bytes in the file (the rest, if any, is zeros in memory)
};

// Finds the resource section and checks that it can be replaced: the
// resource directory starts it, and the only thing behind it in memory is the
// base relocation table (which code never addresses).  False with a one-line
// reason.
bool FindResourceSection(const std::vector<uint8_t>& image, ResourceSectionPlace* place, std::string* error);

// The image with its resource section replaced by `section`, which must have
// been written for the same address (`place.rva`).  The image must have
// passed FindResourceSection.  Its checksum is cleared: it no longer holds.
std::vector<uint8_t> ReplaceResourceSection(const std::vector<uint8_t>& image, const std::vector<uint8_t>& section);
