// Puts the packager's icon, version record and execution level into a stub:
// the icon group the dialogs load (130) with its images, the version record
// (1), and the level in the application manifest (1).  The resource section
// is written anew; the rest of the image only moves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pe/version_record.h"

constexpr uint32_t kStubIconGroupId = 130;

struct StubBranding {
  bool replaceIcon = false;
  std::vector<uint8_t> icon;          // the .ico file's bytes
  std::string iconLabel = "icon";     // names the .ico in messages
  std::vector<VersionText> version;   // empty keeps the stub's version record
  std::string executionLevel;         // empty keeps the manifest's level
};

// The branded stub, or false with a one-line reason (a damaged .ico, a stub
// whose layout does not allow it).
bool BrandStub(const std::vector<uint8_t>& stub, const StubBranding& branding, std::vector<uint8_t>* branded,
               std::string* error);
