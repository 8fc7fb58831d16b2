#include "tools/cli/entry_listing.h"

#include <cstdio>

#include "archive/lead_byte.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/file_time.h"
#include "tools/cli/host_platform.h"
#include "tools/cli/utf8_text.h"

namespace {

constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

std::string Format(const char* format, unsigned long long a) {
  char text[64];
  std::snprintf(text, sizeof text, format, a);
  return text;
}

// A JSON string of UTF-8 text, every non-ASCII character as \uXXXX (a pair
// of them above U+FFFF), so the document is the same bytes whatever encoding
// a console or a redirection applies.  A byte that is no UTF-8 becomes
// U+FFFD: the document stays valid, and the caller adds the bytes themselves.
std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (size_t i = 0; i < utf8.size();) {
    uint32_t code = 0;
    if (!NextCodePoint(utf8, &i, &code)) code = 0xFFFD;
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

std::string HexBytes(const std::string& bytes) {
  std::string hex;
  for (unsigned char c : bytes) hex += Format("%02x", c);
  return hex;
}

// `"key": "text"`, and when the bytes are no valid text, `"keyBytes": "hex"`
// beside it.
std::string JsonTextField(const std::string& key, const std::string& utf8, bool exact, const std::string& bytes) {
  std::string field = "\"" + key + "\": " + JsonString(utf8);
  return exact ? field : field + ", \"" + key + "Bytes\": \"" + HexBytes(bytes) + "\"";
}

// A code page 932 name in UTF-8, with U+FFFD for each byte that starts no
// character; *exact false when there was such a byte.
std::string Cp932Faithfully(const std::string& cp932, bool* exact) {
  std::string utf8;
  *exact = Cp932ToUtf8(cp932, &utf8);
  if (*exact) return utf8;
  utf8.clear();
  for (size_t i = 0; i < cp932.size();) {
    size_t length = IsShiftJisLeadByte(static_cast<uint8_t>(cp932[i])) && i + 1 < cp932.size() ? 2 : 1;
    std::string character;
    if (Cp932ToUtf8(cp932.substr(i, length), &character)) {
      utf8 += character;
      i += length;
    } else {
      utf8 += kReplacementCharacter;
      ++i;
    }
  }
  return utf8;
}

// "YYYY-MM-DDThh:mm:ssZ"
std::string JsonTime(FileTime t) {
  std::string text = FormatFileTime(t);
  text[10] = 'T';
  return JsonString(text + "Z");
}

bool IsWrapper(const ArchiveHeader& h) { return h.automaticMode == kAutomaticModeWrapper; }

std::string HeaderText(const SelfExtractingFile& sfx) {
  const ArchiveHeader& h = sfx.header();
  std::string text = "automatic mode: ";
  if (h.automaticMode == kAutomaticModeOff)
    text += "no\n";
  else if (IsWrapper(h))
    text += "yes, installer wrapper (a new private folder, deleted once the follow-up program has ended)\n";
  else
    text += "yes\n";
  if (h.followUpNameLength > 0) {
    text += "follow-up program: " + NameForDisplay(sfx.parser().followUpName) + "\n";
    text += "follow-up arguments: " + NameForDisplay(sfx.parser().followUpArgs) + "\n";
  } else {
    text += "follow-up program: none\n";
  }
  text += "required size: " + CountOf(h.requiredSize, "byte") + "\n";
  text += "execution level: ";
  if (!sfx.HasManifest())
    text += "none (the stub has no manifest)\n";
  else if (sfx.ExecutionLevel().empty())
    text += "none (the manifest asks for none)\n";
  else
    text += ForTerminal(sfx.ExecutionLevel()) + "\n";
  text += std::string("integrity record: ") +
          (sfx.HasIntegrityRecord() ? "yes (content checksums)" : "none (content cannot be verified)") + "\n";
  text += std::string("signed: ") + (sfx.IsSigned() ? "yes (certificate table present)" : "no") + "\n";
  return text;
}

}  // namespace

std::vector<ListedEntry> ReadListing(SelfExtractingFile& sfx) {
  std::vector<ListedEntry> entries;
  for (uint32_t i = 0; i < sfx.header().entryCount; ++i) {
    ParsedEntry entry = sfx.NextEntry();
    ListedEntry listed;
    listed.storedName.assign(reinterpret_cast<const char*>(entry.name), entry.nameLength);
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

std::string ListingText(const SelfExtractingFile& sfx, const std::vector<ListedEntry>& entries, bool quiet) {
  std::string out = quiet ? "" : "method          size      packed  created              last written         name\n";
  unsigned long long total = 0, packed = 0;
  for (const ListedEntry& e : entries) {
    total += e.size;
    packed += e.packed;
    out += std::string(e.stored ? "stored    " : "compressed") + Format(" %10llu", e.size) +
           Format(" %11llu", e.packed) + "  " + FormatFileTime(e.created) + "  " + FormatFileTime(e.lastWritten) +
           "  " + NameForDisplay(e.storedName) + "\n";
  }
  if (quiet) return out;
  out += CountOf(sfx.header().entryCount, "file") + ", " + CountOf(total, "byte") + ", " +
         CountOf(packed, "byte") + " packed\n";
  return out + HeaderText(sfx);
}

std::string ListingJson(const std::string& file, const SelfExtractingFile& sfx,
                        const std::vector<ListedEntry>& entries) {
  const ArchiveHeader& h = sfx.header();
  uint64_t total = 0, packed = 0;
  for (const ListedEntry& e : entries) {
    total += e.size;
    packed += e.packed;
  }
  bool exact = true;
  std::string out = "{\n  \"schema\": \"kaito-list/1\",\n  " + JsonTextField("file", file, IsValidUtf8(file), file) + ",\n";
  out += "  \"automaticMode\": " + std::string(h.automaticMode != kAutomaticModeOff ? "true" : "false") + ",\n";
  out += "  \"cleanup\": " + std::string(IsWrapper(h) ? "true" : "false") + ",\n";
  if (h.followUpNameLength > 0) {
    std::string program = sfx.parser().followUpName, arguments = sfx.parser().followUpArgs;
    std::string programText = Cp932Faithfully(program, &exact);
    out += "  \"followUp\": {" + JsonTextField("program", programText, exact, program);
    std::string argumentsText = Cp932Faithfully(arguments, &exact);
    out += ", " + JsonTextField("arguments", argumentsText, exact, arguments) + "},\n";
  } else {
    out += "  \"followUp\": null,\n";
  }
  out += "  \"requiredSize\": " + std::to_string(h.requiredSize) + ",\n";
  out += "  \"totalSize\": " + std::to_string(total) + ",\n";
  out += "  \"packedSize\": " + std::to_string(packed) + ",\n";
  out += "  \"executionLevel\": " +
         (sfx.ExecutionLevel().empty() ? std::string("null") : JsonString(sfx.ExecutionLevel())) + ",\n";
  out += "  \"integrityRecord\": " + std::string(sfx.HasIntegrityRecord() ? "true" : "false") + ",\n";
  out += "  \"signed\": " + std::string(sfx.IsSigned() ? "true" : "false") + ",\n";
  out += "  \"entries\": [";
  for (size_t i = 0; i < entries.size(); ++i) {
    const ListedEntry& e = entries[i];
    std::string name = Cp932Faithfully(e.storedName, &exact);
    out += std::string(i == 0 ? "\n" : ",\n") + "    {" + JsonTextField("name", name, exact, e.storedName) +
           ", \"method\": " + (e.stored ? "\"stored\"" : "\"compressed\"") + ", \"size\": " + std::to_string(e.size) +
           ", \"packedSize\": " + std::to_string(e.packed) + ", \"created\": " + JsonTime(e.created) +
           ", \"lastWritten\": " + JsonTime(e.lastWritten) + "}";
  }
  out += entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}
