// The version record a program carries in its resources (what the system
// shows as the file's properties): a fixed part with the numeric file and
// product versions, the texts of one language and code page, and the
// translation entry naming them.  Built from KEY=VALUE texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct VersionText {
  std::string key;    // one of the known keys, spelt as they are
  std::string value;  // UTF-8
};

// The keys a record may hold, in the order it holds them.
extern const char* const kVersionKeys[7];

// "ProductName=Foo" arguments into texts; keys are matched ignoring ASCII case
// and come back in their own spelling.  FileVersion and ProductVersion must be
// 1 to 4 dotted numbers of at most 65535; a value may not be empty and a key
// may not come twice.  False with a one-line reason naming the argument.
bool ParseVersionTexts(const std::vector<std::string>& arguments, std::vector<VersionText>* texts,
                       std::string* error);

// "1.2.3" into {1, 2, 3, 0}.
bool ParseDottedVersion(const std::string& text, uint16_t parts[4]);

// What a new record takes over from the record it replaces.
struct VersionRecordBase {
  uint16_t language = 0x0411;
  uint16_t codePage = 1200;          // UTF-16, as resource compilers write it
  uint32_t fileFlagsMask = 0x3F;
  uint32_t fileFlags = 0;
  uint32_t fileOs = 0x00040004;      // NT, 32-bit Windows
  uint32_t fileType = 1;             // application
  uint32_t fileSubtype = 0;
};

// Reads the language, code page and fixed fields of an existing record;
// fields it cannot find keep `base`'s values.
void ReadVersionRecordBase(const std::vector<uint8_t>& record, VersionRecordBase* base);

// A whole record.  The numeric file version comes from FileVersion, the
// product version from ProductVersion; each falls back to the other, and to 0
// when neither is given.  False when the texts are not valid UTF-8 or the
// record would pass 64 KiB.
bool BuildVersionRecord(const std::vector<VersionText>& texts, const VersionRecordBase& base,
                        std::vector<uint8_t>* record, std::string* error);
