#include "tools/pe/pe_resource_section.h"

#include "archive/archive_format.h"
#include "tools/report_failure.h"

namespace {

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kCertificateDirectory = 4;  // holds a file offset, not an address
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kRelocationDirectory = 5;
constexpr uint32_t kDebugDirectory = 6;
constexpr uint32_t kDebugEntrySize = 28;
constexpr uint32_t kInitializedData = 0x40;

struct Section {
  uint64_t header;  // file offset of its section header
  uint32_t virtualSize, rva, rawSize, rawOffset, characteristics;
  uint32_t Extent() const { return virtualSize != 0 ? virtualSize : rawSize; }
};

struct Layout {
  uint64_t coff = 0;            // file offset of the file header
  uint64_t optional = 0;        // file offset of the optional header
  uint64_t directories = 0;     // file offset of the data directories
  uint32_t directoryCount = 0;
  uint32_t fileAlignment = 0, sectionAlignment = 0;
  std::vector<Section> sections;
  size_t resource = 0;  // index of the resource section
};

constexpr uint32_t kMaxFileAlignment = 0x10000;

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Reads and writes at 64-bit offsets the callers have checked.
uint16_t U16At(const std::vector<uint8_t>& image, uint64_t at) { return LoadU16(image.data() + at); }
uint32_t U32At(const std::vector<uint8_t>& image, uint64_t at) { return LoadU32(image.data() + at); }
void PutU32At(std::vector<uint8_t>& image, uint64_t at, uint32_t value) { StoreU32(image.data() + at, value); }

bool Has(const std::vector<uint8_t>& image, uint64_t offset, uint64_t length) {
  return offset <= image.size() && length <= image.size() - offset;
}

uint32_t DirectoryRva(const std::vector<uint8_t>& image, const Layout& layout, uint32_t index) {
  return index < layout.directoryCount ? U32At(image, layout.directories + 8 * index) : 0;
}

bool ReadLayout(const std::vector<uint8_t>& image, Layout* layout, std::string* error) {
  if (!Has(image, 0, 64) || image[0] != 'M' || image[1] != 'Z') return Fail(error, "not a Windows program (no MZ header)");
  uint64_t pe = U32At(image, 0x3C);
  if (!Has(image, pe, 24) || U32At(image, pe) != kPeSignature) return Fail(error, "not a Windows program (no PE header)");
  uint32_t sectionCount = U16At(image, pe + 6);
  uint32_t optionalSize = U16At(image, pe + 20);
  layout->coff = pe + 4;
  layout->optional = pe + 24;
  if (!Has(image, layout->optional, optionalSize) || optionalSize < 2) return Fail(error, "damaged PE header");
  uint16_t magic = U16At(image, layout->optional);
  uint64_t countField = magic == kPe32Magic ? 92 : magic == kPe32PlusMagic ? 108 : 0;
  if (countField == 0 || optionalSize < countField + 4) return Fail(error, "damaged PE header");
  layout->directories = layout->optional + countField + 4;
  layout->directoryCount = U32At(image, layout->optional + countField);
  if (uint64_t{layout->directoryCount} * 8 > optionalSize - countField - 4) return Fail(error, "damaged PE header");
  layout->sectionAlignment = U32At(image, layout->optional + 32);
  layout->fileAlignment = U32At(image, layout->optional + 36);
  if (!IsPowerOfTwo(layout->fileAlignment) || layout->fileAlignment > kMaxFileAlignment ||
      !IsPowerOfTwo(layout->sectionAlignment) || layout->sectionAlignment < layout->fileAlignment)
    return Fail(error, "damaged PE header (section alignment)");
  uint64_t table = layout->optional + optionalSize;
  if (!Has(image, table, uint64_t{sectionCount} * kSectionHeaderSize)) return Fail(error, "damaged PE section table");
  for (uint32_t s = 0; s < sectionCount; ++s) {
    uint64_t at = table + uint64_t{s} * kSectionHeaderSize;
    layout->sections.push_back(Section{at, U32At(image, at + 8), U32At(image, at + 12),
                                       U32At(image, at + 16), U32At(image, at + 20),
                                       U32At(image, at + 36)});
  }
  return true;
}

// Where a data directory's bytes are in the file; false when they are not
// inside one section's file data.
bool DirectoryBytes(const std::vector<uint8_t>& image, const Layout& layout, uint32_t index, uint64_t* at,
                    uint32_t* size) {
  uint32_t rva = DirectoryRva(image, layout, index);
  *size = U32At(image, layout.directories + 8 * index + 4);
  for (const Section& section : layout.sections) {
    if (rva < section.rva || rva - section.rva >= section.rawSize) continue;
    *at = section.rawOffset + uint64_t{rva - section.rva};
    return *size <= section.rawSize - (rva - section.rva) && Has(image, *at, *size);
  }
  return false;
}

// Debug records name their data by file offset; none may lie in what moves.
bool CheckDebugData(const std::vector<uint8_t>& image, const Layout& layout, std::string* error) {
  uint64_t at = 0;
  uint32_t size = 0;
  if (DirectoryRva(image, layout, kDebugDirectory) == 0) return true;
  if (!DirectoryBytes(image, layout, kDebugDirectory, &at, &size)) return Fail(error, "damaged debug directory");
  for (uint64_t entry = at; entry + kDebugEntrySize <= at + size; entry += kDebugEntrySize)
    if (U32At(image, entry + 24) >= layout.sections[layout.resource].rawOffset)
      return Fail(error, "debug data behind the resources would have to move");
  return true;
}

// Checks that the sections behind the resource section hold nothing that code
// or headers address, other than through the relocation directory.
bool CheckSectionsBehind(const std::vector<uint8_t>& image, const Layout& layout, std::string* error) {
  // Sections follow each other in memory without gaps, so the ones behind
  // can move by exactly what the resource section grows or shrinks.
  const Section& resource = layout.sections[layout.resource];
  for (size_t s = 0; s < layout.resource; ++s) {
    const Section& before = layout.sections[s];
    if (before.rva + uint64_t{before.Extent()} > resource.rva ||
        (before.rawSize != 0 && before.rawOffset + uint64_t{before.rawSize} > resource.rawOffset))
      return Fail(error, "the sections in front of the resources are out of order");
  }
  uint64_t expected = AlignUp(resource.rva + uint64_t{resource.Extent()}, layout.sectionAlignment);
  for (size_t s = layout.resource + 1; s < layout.sections.size(); ++s) {
    const Section& behind = layout.sections[s];
    if (behind.rva != expected || (behind.rawSize != 0 && behind.rawOffset < resource.rawOffset + uint64_t{resource.rawSize}))
      return Fail(error, "the sections behind the resources are out of order");
    expected = AlignUp(behind.rva + uint64_t{behind.Extent()}, layout.sectionAlignment);
  }
  for (uint32_t d = 0; d < layout.directoryCount; ++d) {
    if (d == kCertificateDirectory || d == kResourceDirectory || d == kRelocationDirectory) continue;
    if (DirectoryRva(image, layout, d) >= resource.rva)
      return Fail(error, "data behind the resources would have to move (data directory " + std::to_string(d) + ")");
  }
  if (DirectoryRva(image, layout, kCertificateDirectory) != 0)
    return Fail(error, "the program is signed; its signature would no longer hold");
  if (!CheckDebugData(image, layout, error)) return false;
  uint32_t relocations = DirectoryRva(image, layout, kRelocationDirectory);
  for (size_t s = layout.resource + 1; s < layout.sections.size(); ++s) {
    const Section& behind = layout.sections[s];
    bool holdsRelocations = relocations >= behind.rva && relocations - behind.rva < behind.Extent();
    if (!holdsRelocations)
      return Fail(error, "a section other than the relocations lies behind the resources");
  }
  return true;
}

// Base relocations name the pages they fix; none may lie in what moves.
bool CheckRelocations(const std::vector<uint8_t>& image, const Layout& layout, std::string* error) {
  uint64_t at = 0;
  uint32_t size = 0;
  if (DirectoryRva(image, layout, kRelocationDirectory) == 0) return true;
  if (!DirectoryBytes(image, layout, kRelocationDirectory, &at, &size)) return Fail(error, "damaged relocation table");
  for (uint64_t end = at + size; at + 8 <= end;) {
    uint32_t page = U32At(image, at);
    uint32_t blockSize = U32At(image, at + 4);
    if (blockSize < 8 || blockSize > end - at) return Fail(error, "damaged relocation table");
    if (page >= layout.sections[layout.resource].rva) return Fail(error, "code addresses the resources directly");
    at += blockSize;
  }
  return true;
}

}  // namespace

bool FindResourceSection(const std::vector<uint8_t>& image, ResourceSectionPlace* place, std::string* error) {
  Layout layout;
  if (!ReadLayout(image, &layout, error)) return false;
  uint32_t rva = DirectoryRva(image, layout, kResourceDirectory);
  if (rva == 0) return Fail(error, "the program has no resources");
  size_t s = 0;
  while (s < layout.sections.size() && layout.sections[s].rva != rva) ++s;
  if (s == layout.sections.size()) return Fail(error, "the resources do not start a section of their own");
  layout.resource = s;
  for (const Section& section : layout.sections)
    if (!Has(image, section.rawOffset, section.rawSize)) return Fail(error, "damaged PE section table (data outside the file)");
  const Section& resource = layout.sections[s];
  if (resource.rawOffset == 0) return Fail(error, "damaged resource section");
  if (!CheckSectionsBehind(image, layout, error) || !CheckRelocations(image, layout, error)) return false;
  place->rva = resource.rva;
  place->fileOffset = resource.rawOffset;
  place->size = resource.rawSize;
  return true;
}

std::vector<uint8_t> ReplaceResourceSection(const std::vector<uint8_t>& image, const std::vector<uint8_t>& section) {
  Layout layout;
  std::string unused;
  ReadLayout(image, &layout, &unused);
  uint32_t resourceRva = DirectoryRva(image, layout, kResourceDirectory);
  while (layout.sections[layout.resource].rva != resourceRva) ++layout.resource;
  const Section& resource = layout.sections[layout.resource];

  uint64_t newRawSize = AlignUp(section.size(), layout.fileAlignment);
  int64_t rawDelta = static_cast<int64_t>(newRawSize) - resource.rawSize;
  int64_t memoryDelta = static_cast<int64_t>(AlignUp(resource.rva + uint64_t{section.size()}, layout.sectionAlignment)) -
                        static_cast<int64_t>(AlignUp(resource.rva + uint64_t{resource.Extent()}, layout.sectionAlignment));

  std::vector<uint8_t> out(image.begin(), image.begin() + resource.rawOffset);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(static_cast<size_t>(resource.rawOffset + newRawSize), 0);
  out.insert(out.end(), image.begin() + resource.rawOffset + resource.rawSize, image.end());

  auto shift = [&out](uint64_t at, int64_t delta) {
    PutU32At(out, at, static_cast<uint32_t>(U32At(out, at) + delta));
  };
  PutU32At(out, resource.header + 8, static_cast<uint32_t>(section.size()));
  PutU32At(out, resource.header + 16, static_cast<uint32_t>(newRawSize));
  for (size_t s = layout.resource + 1; s < layout.sections.size(); ++s) {
    shift(layout.sections[s].header + 12, memoryDelta);
    if (layout.sections[s].rawSize != 0) shift(layout.sections[s].header + 20, rawDelta);
  }
  PutU32At(out, layout.directories + 8 * kResourceDirectory + 4, static_cast<uint32_t>(section.size()));
  if (DirectoryRva(image, layout, kRelocationDirectory) > resource.rva)
    shift(layout.directories + 8 * kRelocationDirectory, memoryDelta);
  shift(layout.optional + 56, memoryDelta);  // SizeOfImage
  if ((resource.characteristics & kInitializedData) != 0) shift(layout.optional + 8, rawDelta);  // SizeOfInitializedData
  PutU32At(out, layout.optional + 64, 0);  // CheckSum
  uint32_t symbols = U32At(image, layout.coff + 8);
  if (symbols >= resource.rawOffset + uint64_t{resource.rawSize}) shift(layout.coff + 8, rawDelta);
  return out;
}
