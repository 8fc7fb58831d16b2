// Reads an .ico file into its images and writes the icon group record that
// names them inside a program's resources.  An .ico holds a 6-byte header,
// one 16-byte entry per image (with the image's file offset) and the images;
// the group record keeps the entries but names each image by a resource id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Larger files are refused: no program icon needs more.
constexpr size_t kMaxIconFileSize = 1u << 20;

struct IconImage {
  uint8_t width = 0;   // 0 means 256
  uint8_t height = 0;  // 0 means 256
  uint8_t colorCount = 0;
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  std::vector<uint8_t> bytes;  // a PNG file or a bitmap header with its pixels and mask
};

// Answers the images of the .ico file, or false with a one-line reason.
bool ParseIcoFile(const uint8_t* data, size_t size, std::vector<IconImage>* images, std::string* error);

// The icon group record: the .ico's header and entries, each entry naming its
// image by the resource id `ids[i]` instead of a file offset.
std::vector<uint8_t> BuildIconGroup(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids);

// The resource ids an icon group names, in order; empty for a damaged record.
std::vector<uint16_t> IconGroupIds(const std::vector<uint8_t>& group);
