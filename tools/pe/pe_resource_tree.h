// A program's resource section as a tree that can be changed and written
// again: directories of entries (named or numbered), three levels deep (type,
// name, language), whose leaves hold the resources' bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ResourceEntry;

struct ResourceDirectory {
  // Kept as read, written back unchanged.
  uint32_t characteristics = 0;
  uint32_t timeDateStamp = 0;
  uint16_t majorVersion = 0;
  uint16_t minorVersion = 0;
  std::vector<ResourceEntry> entries;
};

struct ResourceEntry {
  std::u16string name;  // empty: the entry is numbered by `id`
  uint32_t id = 0;
  bool isDirectory = false;
  ResourceDirectory directory;  // when isDirectory
  std::vector<uint8_t> data;    // otherwise: the resource's bytes
  uint32_t codePage = 0;        // the leaf's code page field, kept as read
};

// Reads the tree from the section's bytes; `sectionRva` is where the section
// is mapped, since leaves name their data by address.  False with a one-line
// reason for a damaged tree (loops, entries or data outside the section).
bool ParseResourceSection(const uint8_t* section, size_t size, uint32_t sectionRva, ResourceDirectory* root,
                          std::string* error);

// Writes the tree as a section mapped at `sectionRva`: every directory first
// (named entries before numbered ones, numbers ascending), then the leaves'
// records, the names, and the data, each resource aligned to 8 bytes.
std::vector<uint8_t> SerializeResourceSection(const ResourceDirectory& root, uint32_t sectionRva);

// The numbered entry `id` of a directory, or null.
ResourceEntry* FindNumberedEntry(ResourceDirectory* directory, uint32_t id);
// Removes the numbered entry `id` if present.
void RemoveNumberedEntry(ResourceDirectory* directory, uint32_t id);
// The numbered subdirectory `id`, added when missing.
ResourceDirectory* NumberedSubdirectory(ResourceDirectory* directory, uint32_t id);
