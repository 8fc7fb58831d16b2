#include "tools/cli/entry_listing.h"

#include <cstdio>

#include "tools/cli/cli_support.h"
#include "tools/cli/file_time.h"

namespace {

// JSON string with every non-ASCII character as \uXXXX, so the document is the
// same bytes whatever encoding the console or a redirection applies.
std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    uint32_t code = c;
    size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (length > 1) {
      code = c & (0x7Fu >> length);
      for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
        code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    }
    i += length;
    char escaped[16];
    if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
    } else if (code >= 0x20 && code < 0x7F) {
      out += static_cast<char>(code);
    } else if (code >= 0x10000) {
      uint32_t v = code - 0x10000;
      std::snprintf(escaped, sizeof escaped, "\\u%04X\\u%04X", 0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF));
      out += escaped;
    } else {
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(code));
      out += escaped;
    }
  }
  return out + "\"";
}

// "YYYY-MM-DDThh:mm:ssZ"
std::string JsonTime(FileTime t) {
  std::string text = FormatFileTime(t);
  text[10] = 'T';
  return JsonString(text + "Z");
}

}  // namespace

std::vector<ListedEntry> ReadListing(SelfExtractingFile& sfx) {
  std::vector<ListedEntry> entries;
  for (uint32_t i = 0; i < sfx.header().entryCount; ++i) {
    ParsedEntry entry = sfx.NextEntry();
    ListedEntry listed;
    listed.name = NameForDisplay(std::string(reinterpret_cast<const char*>(entry.name), entry.nameLength));
    listed.stored = EntryIsStored(entry.header);
    listed.packed = entry.dataSize;
    listed.size = entry.dataSize;
    if (!listed.stored) {
      // The block header holds the decoded size.
      ParsedEntry probe = entry;
      probe.dataSize = entry.dataSize < 8 ? entry.dataSize : 8;
      std::vector<uint8_t> head = sfx.ReadData(probe);
      listed.size = head.size() == 8 ? LoadU32(head.data() + 4) : 0;
    }
    listed.created = entry.header.creationTime;
    listed.lastWritten = entry.header.lastWriteTime;
    entries.push_back(listed);
  }
  return entries;
}

std::string ListingJson(const std::string& file, const SelfExtractingFile& sfx,
                        const std::vector<ListedEntry>& entries) {
  const ArchiveHeader& h = sfx.header();
  uint64_t total = 0, packed = 0;
  for (const ListedEntry& e : entries) {
    total += e.size;
    packed += e.packed;
  }
  std::string out = "{\n  \"schema\": \"kaito-list/1\",\n  \"file\": " + JsonString(file) + ",\n";
  out += "  \"automaticMode\": " + std::string(h.automaticMode != 0 ? "true" : "false") + ",\n";
  if (h.followUpNameLength > 0) {
    out += "  \"followUp\": {\"program\": " + JsonString(NameForDisplay(sfx.parser().followUpName)) +
           ", \"arguments\": " + JsonString(NameForDisplay(sfx.parser().followUpArgs)) + "},\n";
  } else {
    out += "  \"followUp\": null,\n";
  }
  out += "  \"requiredSize\": " + std::to_string(h.requiredSize) + ",\n";
  out += "  \"totalSize\": " + std::to_string(total) + ",\n";
  out += "  \"packedSize\": " + std::to_string(packed) + ",\n";
  out += "  \"integrityRecord\": " + std::string(sfx.HasIntegrityRecord() ? "true" : "false") + ",\n";
  out += "  \"signed\": " + std::string(sfx.IsSigned() ? "true" : "false") + ",\n";
  out += "  \"entries\": [";
  for (size_t i = 0; i < entries.size(); ++i) {
    const ListedEntry& e = entries[i];
    out += std::string(i == 0 ? "\n" : ",\n") + "    {\"name\": " + JsonString(e.name) + ", \"method\": " +
           (e.stored ? "\"stored\"" : "\"compressed\"") + ", \"size\": " + std::to_string(e.size) +
           ", \"packedSize\": " + std::to_string(e.packed) + ", \"created\": " + JsonTime(e.created) +
           ", \"lastWritten\": " + JsonTime(e.lastWritten) + "}";
  }
  out += entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}
