#include "tools/pe/pe_resources.h"

#include "archive/archive_format.h"
#include "tools/report_failure.h"

namespace {

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kDirectoryEntrySize = 8;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kNamedEntryFlag = 0x80000000u;

// Bounds-checked little-endian reads over the image.
class ImageView {
 public:
  ImageView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Has(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
  uint16_t U16(uint64_t offset) const { return LoadU16(data_ + offset); }
  uint32_t U32(uint64_t offset) const { return LoadU32(data_ + offset); }

 private:
  const uint8_t* data_;
  size_t size_;
};

struct Sections {
  uint64_t tableOffset;
  uint32_t count;
};

// Maps a relative virtual address to a file offset through the section table.
bool RvaToOffset(const ImageView& image, const Sections& sections, uint32_t rva, uint32_t* offset) {
  for (uint32_t s = 0; s < sections.count; ++s) {
    uint64_t header = sections.tableOffset + uint64_t{s} * kSectionHeaderSize;
    uint32_t virtualAddress = image.U32(header + 12);
    uint32_t rawSize = image.U32(header + 16);
    uint32_t rawOffset = image.U32(header + 20);
    if (rva >= virtualAddress && rva - virtualAddress < rawSize) {
      *offset = rawOffset + (rva - virtualAddress);
      return true;
    }
  }
  return false;
}

// The directory's entries: the named ones first, then the numbered ones.
struct Directory {
  uint64_t entries;
  uint32_t named;
  uint32_t total;
};

bool ReadDirectory(const ImageView& image, uint64_t offset, Directory* directory) {
  if (!image.Has(offset, kDirectoryHeaderSize)) return false;
  directory->named = image.U16(offset + 12);
  directory->total = directory->named + image.U16(offset + 14);
  directory->entries = offset + kDirectoryHeaderSize;
  return image.Has(directory->entries, uint64_t{directory->total} * kDirectoryEntrySize);
}

// Resource names are counted UTF-16 strings; the lookup ignores ASCII case.
bool NameEquals(const ImageView& image, uint64_t offset, const char* wanted) {
  if (!image.Has(offset, 2)) return false;
  uint32_t length = image.U16(offset);
  if (!image.Has(offset + 2, uint64_t{length} * 2)) return false;
  for (uint32_t i = 0; i < length; ++i) {
    if (wanted[i] == '\0') return false;
    uint32_t c = image.U16(offset + 2 + 2 * i);
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c != static_cast<uint32_t>(wanted[i])) return false;
  }
  return wanted[length] == '\0';
}

// The entry's target (subdirectory or data entry offset) within the section.
bool FindEntry(const ImageView& image, uint64_t root, const Directory& directory, const char* name,
               uint32_t id, bool wantSubdirectory, uint64_t* target) {
  for (uint32_t e = 0; e < directory.total; ++e) {
    uint64_t entry = directory.entries + uint64_t{e} * kDirectoryEntrySize;
    uint32_t nameField = image.U32(entry);
    uint32_t targetField = image.U32(entry + 4);
    bool matches = name != nullptr
                       ? (nameField & kNamedEntryFlag) != 0 &&
                             NameEquals(image, root + (nameField & ~kNamedEntryFlag), name)
                       : (nameField & kNamedEntryFlag) == 0 && (id == ~0u || nameField == id);
    if (!matches) continue;
    if (((targetField & kSubdirectoryFlag) != 0) != wantSubdirectory) return false;
    *target = root + (targetField & ~kSubdirectoryFlag);
    return true;
  }
  return false;
}

// A resource by type (a name, or with a null name a number) and id, of any language.
struct ResourceKey {
  const char* typeName;
  uint32_t typeId;
  uint32_t id;
  const char* missing;  // the reason when the image has no such resource
};

bool FindResource(const uint8_t* data, size_t size, const ResourceKey& key, ResourceLocation* location,
                  std::string* error) {
  ImageView image(data, size);
  if (!image.Has(0, 64) || data[0] != 'M' || data[1] != 'Z')
    return Fail(error, "not a Windows program (no MZ header)");
  uint64_t pe = image.U32(0x3C);
  if (!image.Has(pe, 24) || image.U32(pe) != kPeSignature)
    return Fail(error, "not a Windows program (no PE header)");
  uint32_t sectionCount = image.U16(pe + 6);
  uint32_t optionalSize = image.U16(pe + 20);
  uint64_t optional = pe + 24;
  if (!image.Has(optional, optionalSize)) return Fail(error, "damaged PE header");
  uint16_t magic = optionalSize >= 2 ? image.U16(optional) : 0;
  uint64_t countField = magic == kPe32Magic ? 92 : magic == kPe32PlusMagic ? 108 : 0;
  if (countField == 0 || optionalSize < countField + 4) return Fail(error, "damaged PE header");
  uint32_t directoryCount = image.U32(optional + countField);
  uint64_t resourceField = countField + 4 + kResourceDirectoryIndex * 8;
  if (directoryCount <= kResourceDirectoryIndex || optionalSize < resourceField + 8)
    return Fail(error, "the program has no resources");
  uint32_t resourceRva = image.U32(optional + resourceField);
  Sections sections{optional + optionalSize, sectionCount};
  if (!image.Has(sections.tableOffset, uint64_t{sectionCount} * kSectionHeaderSize))
    return Fail(error, "damaged PE section table");
  uint32_t root = 0;
  if (resourceRva == 0 || !RvaToOffset(image, sections, resourceRva, &root))
    return Fail(error, "the program has no resources");

  Directory types, ids, languages;
  uint64_t idsOffset = 0, languagesOffset = 0, dataEntry = 0;
  const char* missing = key.missing;
  if (!ReadDirectory(image, root, &types)) return Fail(error, "damaged resource directory");
  if (!FindEntry(image, root, types, key.typeName, key.typeId, true, &idsOffset)) return Fail(error, missing);
  if (!ReadDirectory(image, idsOffset, &ids)) return Fail(error, "damaged resource directory");
  if (!FindEntry(image, root, ids, nullptr, key.id, true, &languagesOffset)) return Fail(error, missing);
  if (!ReadDirectory(image, languagesOffset, &languages)) return Fail(error, "damaged resource directory");
  if (!FindEntry(image, root, languages, nullptr, ~0u, false, &dataEntry) || !image.Has(dataEntry, 16))
    return Fail(error, missing);

  uint32_t dataRva = image.U32(dataEntry);
  uint32_t dataSize = image.U32(dataEntry + 4);
  uint32_t dataOffset = 0;
  if (!RvaToOffset(image, sections, dataRva, &dataOffset) || !image.Has(dataOffset, dataSize))
    return Fail(error, "damaged resource directory (resource data outside the file)");
  location->fileOffset = dataOffset;
  location->size = dataSize;
  return true;
}

}  // namespace

bool FindLocatorResource(const uint8_t* data, size_t size, ResourceLocation* location, std::string* error) {
  ResourceKey key{kLocatorResourceType, 0, kLocatorResourceId,
                  "the program has no locator resource (type VAL, id 133): not a kaito stub"};
  if (!FindResource(data, size, key, location, error)) return false;
  if (location->size < kLocatorSize) return Fail(error, "the locator resource is shorter than 4 bytes");
  return true;
}

bool FindManifestResource(const uint8_t* data, size_t size, ResourceLocation* location, std::string* error) {
  ResourceKey key{nullptr, kManifestResourceType, kManifestResourceId, "the program has no application manifest"};
  return FindResource(data, size, key, location, error);
}
