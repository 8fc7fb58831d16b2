// Test material for the branding code: .ico files and a small PE image with
// a code section, a resource section like the stub's (locator, an icon group
// with its images, a version record, a dialog) and a relocation section
// behind it.  Offsets are fixed so tests can check every header field.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "tools/pe/pe_resource_tree.h"
#include "tools/pe/version_record.h"

namespace branding_image {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kPeOffset = 0x80;
constexpr uint32_t kOptional = kPeOffset + 24;
constexpr uint32_t kDirectories = kOptional + 96;
constexpr uint32_t kSectionTable = kOptional + 224;
constexpr uint32_t kHeadersSize = 0x400;
constexpr uint32_t kTextRva = 0x1000;
constexpr uint32_t kTextSize = 0x200;
constexpr uint32_t kResourceRva = 0x2000;
constexpr uint32_t kResourceFileOffset = kHeadersSize + kTextSize;
constexpr uint32_t kRelocationSize = 12;
constexpr uint32_t kOldChecksum = 0x1234;

inline uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

inline std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// An icon image: a bitmap header (with its pixels, all `fill`) or a PNG.
inline std::vector<uint8_t> BitmapImage(uint32_t side, uint16_t bitCount, uint8_t fill) {
  std::vector<uint8_t> image(40 + side * side * 4, fill);
  std::memset(image.data(), 0, 40);
  StoreU32(&image[0], 40);
  StoreU32(&image[4], side);
  StoreU32(&image[8], side * 2);  // colour rows and mask rows
  StoreU16(&image[12], 1);
  StoreU16(&image[14], bitCount);
  return image;
}
inline std::vector<uint8_t> PngImage(uint8_t fill) {
  std::vector<uint8_t> image = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  image.resize(300, fill);
  return image;
}

struct IcoImage {
  uint8_t width;
  uint16_t bitCount;  // as the .ico entry says (0: unknown)
  std::vector<uint8_t> bytes;
};

// The .ico file holding `images`, each entry pointing at its image.
inline std::vector<uint8_t> IcoFile(const std::vector<IcoImage>& images) {
  std::vector<uint8_t> file(6 + 16 * images.size(), 0);
  StoreU16(&file[2], 1);
  StoreU16(&file[4], static_cast<uint16_t>(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    uint8_t* entry = &file[6 + 16 * i];
    entry[0] = images[i].width;
    entry[1] = images[i].width;
    StoreU16(entry + 4, images[i].bitCount == 0 ? 0 : 1);
    StoreU16(entry + 6, images[i].bitCount);
    StoreU32(entry + 8, static_cast<uint32_t>(images[i].bytes.size()));
    StoreU32(entry + 12, static_cast<uint32_t>(file.size()));
    file.insert(file.end(), images[i].bytes.begin(), images[i].bytes.end());
  }
  return file;
}

// Three images: a 16x16 bitmap, a 32x32 bitmap whose entry leaves the
// colour depth 0, and a 256x256 PNG.
inline std::vector<uint8_t> ThreeImageIco() {
  return IcoFile({{16, 32, BitmapImage(16, 32, 0x11)}, {32, 0, BitmapImage(32, 8, 0x22)}, {0, 32, PngImage(0x33)}});
}

inline ResourceEntry Leaf(uint32_t language, std::vector<uint8_t> data) {
  ResourceEntry leaf;
  leaf.id = language;
  leaf.data = std::move(data);
  return leaf;
}

inline ResourceEntry Directory(uint32_t id, std::vector<ResourceEntry> entries, const std::u16string& name = u"") {
  ResourceEntry entry;
  entry.id = id;
  entry.name = name;
  entry.isDirectory = true;
  entry.directory.entries = std::move(entries);
  return entry;
}

// type -> id -> language 0x0411 -> data
inline ResourceEntry Typed(uint32_t type, uint32_t id, std::vector<uint8_t> data) {
  return Directory(type, {Directory(id, {Leaf(0x411, std::move(data))})});
}

// The old group names icons 1 and 2; icon 3 belongs to no group.
inline std::vector<uint8_t> OldIconGroup() {
  std::vector<uint8_t> group(6 + 2 * 14, 0);
  StoreU16(&group[2], 1);
  StoreU16(&group[4], 2);
  StoreU16(&group[6 + 12], 1);
  StoreU16(&group[6 + 14 + 12], 2);
  return group;
}

// The old version record: code page 932 and a DLL's file type, so tests see
// what the new record takes over.
inline VersionRecordBase OldVersionBase() {
  VersionRecordBase base;
  base.codePage = 932;
  base.fileType = 2;
  base.fileFlags = 0x8;
  return base;
}

inline ResourceDirectory StubResources() {
  std::vector<uint8_t> version;
  std::string unused;
  BuildVersionRecord({{"ProductName", "old"}, {"FileVersion", "9.9"}}, OldVersionBase(), &version, &unused);
  ResourceDirectory root;
  root.timeDateStamp = 0x5EED;
  root.entries.push_back(Directory(0, {Directory(133, {Leaf(0x411, {0, 0, 0, 0})})}, u"VAL"));
  ResourceEntry icons = Typed(3, 1, Bytes("old icon one"));
  icons.directory.entries.push_back(Directory(2, {Leaf(0x411, Bytes("old icon two"))}));
  icons.directory.entries.push_back(Directory(3, {Leaf(0x411, Bytes("unrelated icon"))}));
  root.entries.push_back(icons);
  root.entries.push_back(Typed(5, 131, Bytes("dialog template")));
  root.entries.push_back(Typed(14, 130, OldIconGroup()));
  root.entries.push_back(Typed(16, 1, version));
  return root;
}

enum class Variant { Plain, Signed, DataBehindResources };

// The image: headers, .text, .rsrc, then .reloc (or a data section first).
inline std::vector<uint8_t> Make(const ResourceDirectory& resources = StubResources(),
                                 Variant variant = Variant::Plain) {
  std::vector<uint8_t> rsrc = SerializeResourceSection(resources, kResourceRva);
  uint32_t rsrcRaw = AlignUp(static_cast<uint32_t>(rsrc.size()), kFileAlignment);
  struct Section {
    const char* name;
    uint32_t rva, virtualSize, rawOffset, rawSize, characteristics;
  };
  std::vector<Section> sections = {{".text", kTextRva, 0x180, kHeadersSize, kTextSize, 0x60000020},
                                   {".rsrc", kResourceRva, static_cast<uint32_t>(rsrc.size()), kResourceFileOffset,
                                    rsrcRaw, 0x40000040}};
  uint32_t nextRva = AlignUp(kResourceRva + static_cast<uint32_t>(rsrc.size()), kSectionAlignment);
  uint32_t nextRaw = kResourceFileOffset + rsrcRaw;
  if (variant == Variant::DataBehindResources) {
    sections.push_back({".data", nextRva, 0x10, nextRaw, kFileAlignment, 0xC0000040});
    nextRva += kSectionAlignment;
    nextRaw += kFileAlignment;
  }
  uint32_t relocationRva = nextRva;
  sections.push_back({".reloc", relocationRva, kRelocationSize, nextRaw, kFileAlignment, 0x42000040});
  uint32_t imageSize = AlignUp(relocationRva + kRelocationSize, kSectionAlignment);

  std::vector<uint8_t> b(nextRaw + kFileAlignment, 0);
  b[0] = 'M';
  b[1] = 'Z';
  StoreU32(&b[0x3C], kPeOffset);
  std::memcpy(&b[kPeOffset], "PE\0\0", 4);
  StoreU16(&b[kPeOffset + 4], 0x14C);
  StoreU16(&b[kPeOffset + 6], static_cast<uint16_t>(sections.size()));
  StoreU16(&b[kPeOffset + 20], 224);
  StoreU16(&b[kOptional], 0x10B);
  StoreU32(&b[kOptional + 8], rsrcRaw + 2 * kFileAlignment);  // SizeOfInitializedData
  StoreU32(&b[kOptional + 16], kTextRva);                     // entry point
  StoreU32(&b[kOptional + 28], 0x400000);                     // image base
  StoreU32(&b[kOptional + 32], kSectionAlignment);
  StoreU32(&b[kOptional + 36], kFileAlignment);
  StoreU32(&b[kOptional + 56], imageSize);
  StoreU32(&b[kOptional + 60], kHeadersSize);
  StoreU32(&b[kOptional + 64], kOldChecksum);
  StoreU32(&b[kOptional + 92], 16);
  StoreU32(&b[kDirectories + 8 * 2], kResourceRva);
  StoreU32(&b[kDirectories + 8 * 2 + 4], static_cast<uint32_t>(rsrc.size()));
  StoreU32(&b[kDirectories + 8 * 5], relocationRva);
  StoreU32(&b[kDirectories + 8 * 5 + 4], kRelocationSize);
  if (variant == Variant::Signed) {
    StoreU32(&b[kDirectories + 8 * 4], static_cast<uint32_t>(b.size()));
    StoreU32(&b[kDirectories + 8 * 4 + 4], 8);
  }
  for (size_t s = 0; s < sections.size(); ++s) {
    uint8_t* h = &b[kSectionTable + 40 * s];
    std::memcpy(h, sections[s].name, std::strlen(sections[s].name));
    StoreU32(h + 8, sections[s].virtualSize);
    StoreU32(h + 12, sections[s].rva);
    StoreU32(h + 16, sections[s].rawSize);
    StoreU32(h + 20, sections[s].rawOffset);
    StoreU32(h + 36, sections[s].characteristics);
  }
  for (uint32_t i = 0; i < kTextSize; ++i) b[kHeadersSize + i] = static_cast<uint8_t>(i * 7 + 1);
  std::copy(rsrc.begin(), rsrc.end(), b.begin() + kResourceFileOffset);
  // One relocation block for the code page: two 32-bit fixups.
  uint8_t* reloc = &b[sections.back().rawOffset];
  StoreU32(reloc, kTextRva);
  StoreU32(reloc + 4, kRelocationSize);
  StoreU16(reloc + 8, 0x3010);
  StoreU16(reloc + 10, 0x3020);
  return b;
}

}  // namespace branding_image
