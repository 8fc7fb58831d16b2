#include "tools/pe/pe_resource_tree.h"

#include <algorithm>

#include "archive/archive_format.h"

namespace {

constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kDirectoryEntrySize = 8;
constexpr uint32_t kLeafSize = 16;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr int kMaxDepth = 3;  // type, name, language
// Directories may share subdirectories; this bounds the tree a damaged
// section can make the reader build.
constexpr size_t kMaxEntries = 100000;

class TreeReader {
 public:
  TreeReader(const uint8_t* section, size_t size, uint32_t rva) : section_(section), size_(size), rva_(rva) {}

  bool ReadDirectory(uint64_t offset, int depth, ResourceDirectory* directory) {
    if (depth > kMaxDepth) return Fail("damaged resource directory (nested too deep)");
    if (!Has(offset, kDirectoryHeaderSize)) return Fail("damaged resource directory (outside the section)");
    const uint8_t* header = section_ + offset;
    directory->characteristics = LoadU32(header);
    directory->timeDateStamp = LoadU32(header + 4);
    directory->majorVersion = LoadU16(header + 8);
    directory->minorVersion = LoadU16(header + 10);
    uint32_t count = uint32_t{LoadU16(header + 12)} + LoadU16(header + 14);
    if (!Has(offset + kDirectoryHeaderSize, uint64_t{count} * kDirectoryEntrySize))
      return Fail("damaged resource directory (entries outside the section)");
    entries_ += count;
    if (entries_ > kMaxEntries) return Fail("damaged resource directory (too many entries)");
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* field = section_ + offset + kDirectoryHeaderSize + i * kDirectoryEntrySize;
      ResourceEntry entry;
      uint32_t nameField = LoadU32(field);
      uint32_t target = LoadU32(field + 4);
      if ((nameField & kHighBit) != 0) {
        if (!ReadName(nameField & ~kHighBit, &entry.name)) return false;
      } else {
        entry.id = nameField;
      }
      entry.isDirectory = (target & kHighBit) != 0;
      bool read = entry.isDirectory ? ReadDirectory(target & ~kHighBit, depth + 1, &entry.directory)
                                    : ReadLeaf(target, &entry);
      if (!read) return false;
      directory->entries.push_back(std::move(entry));
    }
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  bool Has(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }

  bool Fail(const char* reason) {
    error_ = reason;
    return false;
  }

  bool ReadName(uint64_t offset, std::u16string* name) {
    if (!Has(offset, 2)) return Fail("damaged resource directory (name outside the section)");
    uint32_t length = LoadU16(section_ + offset);
    if (length == 0 || !Has(offset + 2, uint64_t{length} * 2))
      return Fail("damaged resource directory (name outside the section)");
    for (uint32_t i = 0; i < length; ++i) name->push_back(static_cast<char16_t>(LoadU16(section_ + offset + 2 + 2 * i)));
    return true;
  }

  bool ReadLeaf(uint64_t offset, ResourceEntry* entry) {
    if (!Has(offset, kLeafSize)) return Fail("damaged resource directory (data record outside the section)");
    uint32_t dataRva = LoadU32(section_ + offset);
    uint32_t dataSize = LoadU32(section_ + offset + 4);
    entry->codePage = LoadU32(section_ + offset + 8);
    if (dataRva < rva_ || !Has(dataRva - rva_, dataSize))
      return Fail("damaged resource directory (resource data outside the section)");
    const uint8_t* data = section_ + (dataRva - rva_);
    entry->data.assign(data, data + dataSize);
    return true;
  }

  const uint8_t* section_;
  size_t size_;
  uint32_t rva_;
  size_t entries_ = 0;
  std::string error_;
};

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Named entries first, then numbered ones by number; named ones keep their order.
void SortEntries(std::vector<const ResourceEntry*>* entries) {
  std::stable_sort(entries->begin(), entries->end(), [](const ResourceEntry* a, const ResourceEntry* b) {
    bool aNamed = !a->name.empty();
    bool bNamed = !b->name.empty();
    if (aNamed != bNamed) return aNamed;
    return !aNamed && a->id < b->id;
  });
}

class TreeWriter {
 public:
  explicit TreeWriter(uint32_t rva) : rva_(rva) {}

  std::vector<uint8_t> Write(const ResourceDirectory& root) {
    // First pass: place every directory (breadth first), leaf, name and datum.
    std::vector<const ResourceDirectory*> queue{&root};
    uint32_t offset = 0;
    for (size_t i = 0; i < queue.size(); ++i) {
      directoryOffsets_.push_back(offset);
      std::vector<const ResourceEntry*> entries = Sorted(*queue[i]);
      offset += kDirectoryHeaderSize + static_cast<uint32_t>(entries.size()) * kDirectoryEntrySize;
      for (const ResourceEntry* entry : entries)
        if (entry->isDirectory) queue.push_back(&entry->directory);
    }
    for (const ResourceDirectory* directory : queue)
      for (const ResourceEntry* entry : Sorted(*directory))
        if (!entry->isDirectory) leaves_.push_back(entry);
    uint32_t leafStart = offset;
    offset += static_cast<uint32_t>(leaves_.size()) * kLeafSize;
    for (const ResourceDirectory* directory : queue)
      for (const ResourceEntry* entry : Sorted(*directory))
        if (!entry->name.empty()) {
          nameOffsets_.push_back(offset);
          offset += 2 + 2 * static_cast<uint32_t>(entry->name.size());
        }
    for (const ResourceEntry* leaf : leaves_) {
      offset = AlignUp(offset, 8);
      dataOffsets_.push_back(offset);
      offset += static_cast<uint32_t>(leaf->data.size());
    }

    // Second pass: write them in the same order.
    out_.assign(offset, 0);
    size_t nextDirectory = 1, nextName = 0;
    for (size_t d = 0; d < queue.size(); ++d) {
      const ResourceDirectory& directory = *queue[d];
      std::vector<const ResourceEntry*> entries = Sorted(directory);
      uint8_t* header = &out_[directoryOffsets_[d]];
      StoreU32(header, directory.characteristics);
      StoreU32(header + 4, directory.timeDateStamp);
      StoreU16(header + 8, directory.majorVersion);
      StoreU16(header + 10, directory.minorVersion);
      uint16_t named = static_cast<uint16_t>(std::count_if(
          entries.begin(), entries.end(), [](const ResourceEntry* e) { return !e->name.empty(); }));
      StoreU16(header + 12, named);
      StoreU16(header + 14, static_cast<uint16_t>(entries.size() - named));
      for (size_t e = 0; e < entries.size(); ++e) {
        const ResourceEntry& entry = *entries[e];
        uint8_t* field = header + kDirectoryHeaderSize + e * kDirectoryEntrySize;
        if (entry.name.empty()) {
          StoreU32(field, entry.id);
        } else {
          uint32_t at = nameOffsets_[nextName++];
          StoreU32(field, kHighBit | at);
          WriteName(at, entry.name);
        }
        if (entry.isDirectory) {
          StoreU32(field + 4, kHighBit | directoryOffsets_[nextDirectory++]);
        } else {
          size_t leaf = static_cast<size_t>(std::find(leaves_.begin(), leaves_.end(), &entry) - leaves_.begin());
          StoreU32(field + 4, leafStart + static_cast<uint32_t>(leaf) * kLeafSize);
        }
      }
    }
    for (size_t l = 0; l < leaves_.size(); ++l) {
      uint8_t* record = &out_[leafStart + l * kLeafSize];
      StoreU32(record, rva_ + dataOffsets_[l]);
      StoreU32(record + 4, static_cast<uint32_t>(leaves_[l]->data.size()));
      StoreU32(record + 8, leaves_[l]->codePage);
      std::copy(leaves_[l]->data.begin(), leaves_[l]->data.end(), out_.begin() + dataOffsets_[l]);
    }
    return out_;
  }

 private:
  static std::vector<const ResourceEntry*> Sorted(const ResourceDirectory& directory) {
    std::vector<const ResourceEntry*> entries;
    for (const ResourceEntry& entry : directory.entries) entries.push_back(&entry);
    SortEntries(&entries);
    return entries;
  }

  void WriteName(uint32_t at, const std::u16string& name) {
    StoreU16(&out_[at], static_cast<uint16_t>(name.size()));
    for (size_t i = 0; i < name.size(); ++i) StoreU16(&out_[at + 2 + 2 * i], name[i]);
  }

  uint32_t rva_;
  std::vector<uint32_t> directoryOffsets_;
  std::vector<const ResourceEntry*> leaves_;
  std::vector<uint32_t> nameOffsets_;
  std::vector<uint32_t> dataOffsets_;
  std::vector<uint8_t> out_;
};

}  // namespace

bool ParseResourceSection(const uint8_t* section, size_t size, uint32_t sectionRva, ResourceDirectory* root,
                          std::string* error) {
  *root = ResourceDirectory();
  TreeReader reader(section, size, sectionRva);
  if (reader.ReadDirectory(0, 1, root)) return true;
  *error = reader.Error();
  return false;
}

std::vector<uint8_t> SerializeResourceSection(const ResourceDirectory& root, uint32_t sectionRva) {
  return TreeWriter(sectionRva).Write(root);
}

ResourceEntry* FindNumberedEntry(ResourceDirectory* directory, uint32_t id) {
  for (ResourceEntry& entry : directory->entries)
    if (entry.name.empty() && entry.id == id) return &entry;
  return nullptr;
}

void RemoveNumberedEntry(ResourceDirectory* directory, uint32_t id) {
  auto& entries = directory->entries;
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [id](const ResourceEntry& e) { return e.name.empty() && e.id == id; }),
                entries.end());
}

ResourceDirectory* NumberedSubdirectory(ResourceDirectory* directory, uint32_t id) {
  ResourceEntry* entry = FindNumberedEntry(directory, id);
  if (entry == nullptr) {
    ResourceEntry added;
    added.id = id;
    added.isDirectory = true;
    directory->entries.push_back(std::move(added));
    entry = &directory->entries.back();
  }
  return entry->isDirectory ? &entry->directory : nullptr;
}
